#include "export/WorkbookSql.h"

#include <cctype>

#include "export/WorkbookError.h"

namespace thermivo {
namespace {

struct Token {
    enum class Type { Word, Bracketed, String, Punct, End };
    Type type = Type::End;
    std::string text;
};

[[noreturn]] void syntax(const std::string& why) {
    throw WorkbookError(WorkbookErrc::Syntax, "Syntax error in SQL statement: " + why + ".");
}

bool isDelimiter(char c) {
    return std::isspace(static_cast<unsigned char>(c)) || c == '(' || c == ')' || c == ',' || c == ';' ||
           c == '\'' || c == '[' || c == ']' || c == '*';
}

std::vector<Token> tokenize(std::string_view sql) {
    std::vector<Token> out;
    std::size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '\'') {
            std::string s;
            for (++i;; ++i) {
                if (i >= sql.size()) syntax("a string literal is not closed");
                if (sql[i] == '\'') {
                    if (i + 1 < sql.size() && sql[i + 1] == '\'') {
                        s.push_back('\'');
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                s.push_back(sql[i]);
            }
            out.push_back({Token::Type::String, std::move(s)});
        } else if (c == '[') {
            const std::size_t end = sql.find(']', i + 1);
            if (end == std::string_view::npos) syntax("a bracketed name is not closed");
            out.push_back({Token::Type::Bracketed, std::string(sql.substr(i + 1, end - i - 1))});
            i = end + 1;
        } else if (c == ']') {
            syntax("unexpected ']'");
        } else if (isDelimiter(c)) {
            out.push_back({Token::Type::Punct, std::string(1, c)});
            ++i;
        } else {
            const std::size_t start = i;
            while (i < sql.size() && !isDelimiter(sql[i])) ++i;
            out.push_back({Token::Type::Word, std::string(sql.substr(start, i - start))});
        }
    }
    out.push_back({Token::Type::End, {}});
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

/// Column letters and row digits of one cell ("IV65536") to zero-based numbers.
bool parseCell(std::string_view s, std::size_t* row, std::size_t* col) {
    std::size_t i = 0, c = 0, r = 0;
    while (i < s.size() && std::isalpha(static_cast<unsigned char>(s[i])) && i < 3)
        c = c * 26 + static_cast<std::size_t>(std::toupper(static_cast<unsigned char>(s[i++])) - 'A' + 1);
    const std::size_t digitsFrom = i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])) && i - digitsFrom < 6)
        r = r * 10 + static_cast<std::size_t>(s[i++] - '0');
    if (c == 0 || r == 0 || i == digitsFrom || i != s.size()) return false;
    *row = r - 1;
    *col = c - 1;
    return true;
}

class Parser {
  public:
    explicit Parser(std::string_view sql) : tokens_(tokenize(sql)) {}

    SqlStatement statement() {
        SqlStatement st;
        if (keyword("CREATE")) {
            expectKeyword("TABLE");
            st.kind = SqlStatement::Kind::CreateTable;
            tableName(st);
            expectPunct('(');
            st.columns = columnDefinitions();
        } else if (keyword("INSERT")) {
            expectKeyword("INTO");
            st.kind = SqlStatement::Kind::Insert;
            tableName(st);
            if (punct('(')) st.columns = columnNames();
            expectKeyword("VALUES");
            expectPunct('(');
            st.values = valueList();
        } else if (keyword("SELECT")) {
            st.kind = SqlStatement::Kind::Select;
            expectPunct('*');
            expectKeyword("FROM");
            tableName(st);
        } else {
            syntax("only CREATE TABLE, INSERT INTO and SELECT are supported");
        }
        punct(';');
        if (peek().type != Token::Type::End) syntax("unexpected text after the statement");
        return st;
    }

  private:
    const Token& peek() const { return tokens_[pos_]; }
    const Token& take() {
        const Token& t = tokens_[pos_];
        if (t.type != Token::Type::End) ++pos_;
        return t;
    }
    bool keyword(const char* word) {
        if (peek().type != Token::Type::Word || !equalsNoCase(peek().text, word)) return false;
        ++pos_;
        return true;
    }
    void expectKeyword(const char* word) {
        if (!keyword(word)) syntax(std::string("expected ") + word);
    }
    bool punct(char c) {
        if (peek().type != Token::Type::Punct || peek().text[0] != c) return false;
        ++pos_;
        return true;
    }
    void expectPunct(char c) {
        if (!punct(c)) syntax(std::string("expected '") + c + "'");
    }

    void tableName(SqlStatement& st) {
        const Token& t = take();
        if (t.type == Token::Type::Word) {
            st.table = t.text;
            return;
        }
        if (t.type != Token::Type::Bracketed) syntax("expected a table name");
        const std::size_t dollar = t.text.rfind('$');
        st.table = t.text.substr(0, dollar);
        if (dollar == std::string::npos || dollar + 1 == t.text.size()) return;
        const std::string range = t.text.substr(dollar + 1);
        const std::size_t colon = range.find(':');
        SqlRange r;
        if (colon == std::string::npos) {
            if (!parseCell(range, &r.firstRow, &r.firstColumn)) syntax("bad cell range '" + range + "'");
            r.lastRow = r.firstRow;
            r.lastColumn = r.firstColumn;
        } else if (!parseCell(range.substr(0, colon), &r.firstRow, &r.firstColumn) ||
                   !parseCell(range.substr(colon + 1), &r.lastRow, &r.lastColumn)) {
            syntax("bad cell range '" + range + "'");
        }
        if (r.lastRow < r.firstRow || r.lastColumn < r.firstColumn || r.lastRow > 65535 || r.lastColumn > 255)
            syntax("bad cell range '" + range + "'");
        st.range = r;
    }

    /// The tokens up to the next ',' or ')' at this depth; consumes the separator.
    std::vector<Token> item(bool* last) {
        std::vector<Token> out;
        int depth = 0;
        for (;;) {
            const Token& t = peek();
            if (t.type == Token::Type::End) syntax("a list is not closed");
            if (t.type == Token::Type::Punct && depth == 0 && (t.text[0] == ',' || t.text[0] == ')')) {
                *last = t.text[0] == ')';
                ++pos_;
                return out;
            }
            if (t.type == Token::Type::Punct && t.text[0] == '(') ++depth;
            if (t.type == Token::Type::Punct && t.text[0] == ')') --depth;
            out.push_back(take());
        }
    }

    /// One bracketed name, or words joined by single blanks (headers may hold blanks).
    static std::string name(const std::vector<Token>& tokens, std::size_t count) {
        if (count == 1 && tokens[0].type == Token::Type::Bracketed) return tokens[0].text;
        std::string out;
        for (std::size_t i = 0; i < count; ++i) {
            if (tokens[i].type != Token::Type::Word) syntax("bad column name");
            if (!out.empty()) out += ' ';
            out += tokens[i].text;
        }
        if (out.empty()) syntax("missing column name");
        return out;
    }

    std::vector<std::string> columnDefinitions() {
        std::vector<std::string> out;
        for (bool last = false; !last;) {
            std::vector<Token> t = item(&last);
            // An optional size after the type: char(255).
            if (t.size() >= 4 && t.back().type == Token::Type::Punct && t.back().text == ")" &&
                t[t.size() - 2].type == Token::Type::Word && t[t.size() - 3].type == Token::Type::Punct &&
                t[t.size() - 3].text == "(") {
                t.resize(t.size() - 3);
            }
            if (t.size() < 2 || t.back().type != Token::Type::Word)
                syntax("a column needs a name and a type");
            out.push_back(name(t, t.size() - 1));
        }
        return out;
    }

    std::vector<std::string> columnNames() {
        std::vector<std::string> out;
        for (bool last = false; !last;) {
            const std::vector<Token> t = item(&last);
            out.push_back(name(t, t.size()));
        }
        return out;
    }

    std::vector<std::string> valueList() {
        std::vector<std::string> out;
        for (bool last = false; !last;) {
            const std::vector<Token> t = item(&last);
            if (t.size() != 1) syntax("a value must be one literal");
            if (t[0].type == Token::Type::String) {
                out.push_back(t[0].text);
            } else if (t[0].type == Token::Type::Word && equalsNoCase(t[0].text, "NULL")) {
                out.emplace_back();
            } else if (t[0].type == Token::Type::Word &&
                       t[0].text.find_first_not_of("0123456789.+-eE") == std::string::npos) {
                out.push_back(t[0].text);
            } else {
                syntax("a value must be a string, a number or NULL");
            }
        }
        return out;
    }

    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
};

}  // namespace

SqlStatement parseSql(std::string_view sql) {
    return Parser(sql).statement();
}

std::string sqlQuote(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('\'');
    for (const char c : text) {
        out.push_back(c);
        if (c == '\'') out.push_back('\'');
    }
    out.push_back('\'');
    return out;
}

}  // namespace thermivo
