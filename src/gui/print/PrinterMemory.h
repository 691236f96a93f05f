#pragma once
#include <QPageSize>
#include <QString>

class QPrinter;

namespace thermivo {

/// The printer, paper, duplex and colour choice of the last print, kept in the program's settings so the
/// next print (in this session or a later one) starts with them. Orientation is not kept: the kind of
/// pages decides it.
class PrinterMemory {
  public:
    /// Stores the choices of a printer the user has just accepted in the print dialog.
    static void remember(const QPrinter& printer);
    /// Applies the stored choices to a fresh printer. A stored printer that no longer exists is skipped
    /// silently (the system default stays), and so is a paper the printer does not offer.
    static void restore(QPrinter& printer);
    /// The paper of the last print; an invalid size when nothing is stored.
    static QPageSize rememberedPaper();
    /// Keeps the settings in this INI file instead of the user's configuration (tests); empty restores it.
    static void useFile(const QString& path);
};

}  // namespace thermivo
