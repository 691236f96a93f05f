#include "app/UiText.h"

#include <array>
#include "app/AppSettings.h"

namespace thermivo {

namespace {
struct TextPair {
    int id;
    const char* chinese;
    const char* english;
};

// The complete table; ids not listed here are undefined and read as "".
constexpr TextPair kTexts[] = {
    {0, " 就绪...", " Ready..."},
    {1, "概述", "Summary"},
    {2, "数据", "Data"},
    {3, " 记录仪已接入", " Instrument has connected"},
    {4, " 记录仪已断开", " Instrument is disconnecting"},
    {5, " ID序列号:", " Serial Number:"},
    {6, " 启动时间:", " Start Time:"},
    {7, " 停止时间:", " Stop Time:"},
    {8, " 记录间隔:", " Sampling Interval:"},
    {9, " 数据量:", " Quantity of Data:"},
    {10, " 温度最大值:", " Temp Max.:"},
    {11, " 温度最小值:", " Temp Min.:"},
    {12, " 温度平均值:", " Temp Avg.:"},
    {13, " 温度报警上限:", " Temp Upper Limit:"},
    {14, " 温度报警下限:", " Temp Lower Limit:"},
    {15, " 湿度最大值:", " Humi Max.:"},
    {16, " 湿度最小值:", " Humi Min.:"},
    {17, " 湿度平均值:", " Humi Avg.:"},
    {18, " 湿度报警上限:", " Humi Upper Limit:"},
    {19, " 湿度报警下限:", " Humi Lower Limit:"},
    {20, " 描述:", " Description:"},
    {21, "", ""},
    {22, "", ""},
    {23, "", ""},
    {24, "", ""},
    {25, " 正在连接...", " Connecting instrument..."},
    {26, " 正在下载数据...", " Downloading data..."},
    {27, " 记录仪不正常...", " Instrument Malfunctioning..."},
    {28, " 数据下载完成.", " Data download is complete."},
    {29, "数据", "Data"},
    {30, "序号", "Num"},
    {31, "时间", "RecordTime"},
    {32, "温度", "Temperature"},
    {33, "湿度", "Humidity"},
    {34, "概述", "Summary"},
    {35, "项目", "Item"},
    {36, "值", "State"},
    {37, " 已保存文件: ", " This file has saved: "},
    {38, " 保存文件失败: ", " Failure to save this file : "},
    {39, " 已打开文件: ", " This file has opened: "},
    {40, " 打开文件失败: ", " Failure to open this file : "},
    {41, "缩放数据座标", "Scaling data coordinate"},
    {42, "预览设置:", "Preview Setting:"},
    {43, "预览", "Preview"},
    {44, "打印页数:", "Print Pages:"},
    {45, "曲线", "Curver"},
    {46, "文本", "Text"},
    {47, "开始时间:", "Start Time:"},
    {48, "结束时间:", "End Time:"},
    {49, "打印", "Print"},
    {50, "退出", "Exit"},
    {51, "描述", "Description"},
    {52, "ID序列号", " ID"},
    {53, "启动时间", "Start Time"},
    {54, "停止时间", "Stop Time"},
    {55, "记录间隔", "Interval"},
    {56, "数据量", "Quantity"},
    {57, "温度平均值", "Temp Average"},
    {58, "温度报警", "Temp Alarm"},
    {59, "湿度平均值", "Humi Average"},
    {60, "湿度报警", "Humi Alarm"},
    {61, "描述", "Description"},
    {62, "温度记录", "Temp Record"},
    {63, "温度记录", "Temp Record"},
    {64, "温度记录", "Temp Record"},
    {65, "温湿度记录", "Temp&Humi Record"},
    {66, "状态:", "Status:"},
    {67, "启动时间:", "Start Time:"},
    {68, "记录间隔:", "Sample Interval:"},
    {69, "温度报警:", "Temp Alarm:"},
    {70, "温度", "Temperature"},
    {71, "湿度报警:", "Humi Alarm:"},
    {72, "湿度", "Humidity"},
    {73, "启动", "Start"},
    {74, "停止", "Stop"},
    {75, "退出", "Exit"},
    {76, "记录仪未启动", "Instrument has been unactivated"},
    {77, "记录仪已启动", "Instrument has been activate"},
    {78, "记录仪已停止", "Instrument has stoped"},
    {79, "描述设置:", "Description Setting:"},
    {80, "确定启动？", "Sure to start?"},
    {81, "确定停止？", "Sure to stop?"},
    {100, "时间设置错误!", "Time set wrong!"},
    {101, "报警设置错误!", "Alarm set wrong!"},
    {102, "描述未写入!", "Describe not written!"},
    {130, "确定退出?", "Sure to exit?"},
    {131, "时间已校准", "Time calibration has been completed"},
    {132, "时间校准失敗", "Fail to calibrate time"},
    {141, "下载失敗", "Fail to download data"},
    {142, "正在连接...", "Linking..."},
    {143, "电量不足,\n请充电！", "Power is not enough,\n please charge!"},
    {147, "数据记录", "Recorded Data"},
    {148, "下载数据将停止记录。\n确定下载?", "Record will stop if download data.\nSure to download?"},
    {149, "记录间隔不能为0或空！", "Record intervals not to 0 or empty!"},
    {150, "电量过低!", "Power is too low!"},
    {2200, "未连接记录仪", "No instrument"},
    {2201, "上限 %s", "Upper limit %s"},
    {2202, "下限 %s", "Lower limit %s"},
    {2203, "* 超出报警上下限", "* outside the alarm limits"},
    // Texts of this program beyond the instrument's own table: keeping downloads safe.
    {2050, "记录仪中有一份从未下载到本机的记录：", "The instrument holds a recording that was never downloaded to this computer:"},
    {2051, "%1  %2  共 %3 个数据", "%1  %2  %3 samples"},
    {2052, "启动新记录将删除它。", "Starting a new recording erases it."},
    {2053, "副本已保存：%1", "A copy is kept in %1"},
    {2054, "无法保存副本 %1：%2", "No copy could be kept in %1: %2"},
    {2055, "下载未完成：只收到 %1 个数据（共 %2 个）。\n保存收到的 %1 个数据?",
     "The download is incomplete: only %1 of %2 samples arrived.\nSave these %1 samples?"},
    {2056, "只收到 %1 个数据（共 %2 个）。", "Only %1 of %2 samples arrived."},
    {2057, "下载未完成：已保存收到的 %1 个数据（共 %2 个）：", "The download is incomplete; saved the %1 of %2 samples that arrived: "},
    // Printing: what became of a printout. {n} is a page count or number, {target} a printer or a file.
    {2400, "已将 {n} 页发送到 {target}。", "Sent {n} pages to {target}."},
    {2401, "已将 1 页发送到 {target}。", "Sent 1 page to {target}."},
    {2402, "已将 {n} 页保存到 {target}。", "Saved {n} pages to {target}."},
    {2403, "已将 1 页保存到 {target}。", "Saved 1 page to {target}."},
    {2404, "未安装打印机，无法打印。\n是否将这些页另存为PDF文件？",
     "No printer is installed, so the pages cannot be printed.\nSave them as a PDF file instead?"},
    {2405, "另存为PDF…", "Save as PDF…"},
    {2406, "打印机 {target} 拒绝了打印任务。", "The printer {target} refused the job."},
    {2407, "无法在 {target} 上开始打印任务。", "The print job could not start on {target}."},
    {2408, "第 {n} 页无法开始，发送到 {target} 的打印任务已中止。",
     "Page {n} could not be started; the job for {target} was aborted."},
    {2409, "无法写入PDF文件 {target}。", "The PDF file {target} could not be written."},
    {2410, "PDF文件 (*.pdf)", "PDF files (*.pdf)"},
    {2411, "未安装打印机，无法打印。", "No printer is installed, so the pages cannot be printed."},
    {2300, "统计", "Statistics"},
    {2301, "平均动力学温度:", "Mean kinetic temperature:"},
    {2302, "活化能:", "Activation energy:"},
    {2303, "高于上限时间:", "Time above upper limit:"},
    {2304, "低于下限时间:", "Time below lower limit:"},
    {2305, "超限次数:", "Excursions:"},
    {2306, "方向", "Side"},
    {2307, "开始", "Start"},
    {2308, "结束", "End"},
    {2309, "持续时间", "Duration"},
    {2310, "极值", "Extreme"},
    {2311, "超上限", "High"},
    {2312, "超下限", "Low"},
    {2313, "报警未开启", "Alarm off"},
    {2314, "报警", "Alarm"},
    {2315, "显示湿度", "Humidity curve"},
    {2316, "曲线图", "Chart"},
    {2317, "最大值:", "Maximum:"},
    {2318, "最小值:", "Minimum:"},
    {2319, "平均值:", "Average:"},
    {2320, "温度", "Temperature"},
    {2321, "湿度", "Humidity"},
    {2322, "无", "none"},
    {2090, "记录仪中没有数据。", "The instrument holds no samples."},
    // Why a save failed, shown beside the failure text of the status line.
    {2100, "有数值超出数据文件中7个字符的字段宽度。", "A value does not fit the 7 characters of its field in the data file."},
    {2101, "此记录仪的数据文件最多容纳99分钟的记录间隔和9999个数据。",
     "This instrument's data file holds an interval of at most 99 minutes and at most 9999 samples."},
    {2102, "数据文件最多容纳60000个数据。", "A data file holds at most 60000 samples."},
    {2103, "ID序列号含有数据文件无法保存的字符。", "The serial number contains characters that a data file cannot hold."},
    {2104, "启动或停止时间不在1900年至3000年之间。", "The start or stop time lies outside the years 1900 to 3000."},
    {2105, "没有写入此文件夹或文件的权限。", "Permission denied: this folder or file may not be written."},
    {2106, "磁盘已满。", "The disk is full."},
    {2107, "磁盘为只读。", "The disk is read-only."},
    {2108, "文件夹不存在。", "The folder does not exist."},
    {2109, "此名称是文件夹或设备，不是文件。", "This name belongs to a folder or a device, not to a file."},
    {2110, "文件无法写入（输入/输出错误）。", "The file could not be written (input/output error)."},
    {2111, "无法读取现有的工作簿，未作改动。", "The existing workbook cannot be read; it was left unchanged."},
    {2112, "工作簿中已有同名的工作表。", "The workbook already holds a worksheet of this name."},
    {2113, "工作簿无法写入。", "The workbook could not be written."},
    // The command-line tool: finding the port, what became of a command, progress and usage.
    {2800, "未找到记录仪端口：没有连接CH34x USB转串口。请用 --port 路径 或 THERMIVO_PORT 指定端口。",
     "No instrument port found: no CH34x USB bridge is attached. Name the port with --port PATH or THERMIVO_PORT."},
    {2801, "连接了多个记录仪端口，请用 --port 路径 或 THERMIVO_PORT 选择其中一个：",
     "Several instrument ports are attached; choose one with --port PATH or THERMIVO_PORT:"},
    {2802, "THERMIVO_PORT 指定的端口都不存在：%1", "None of the ports THERMIVO_PORT names exists: %1"},
    {2803, "记录仪正在记录，未重新启动。", "The instrument is already recording; it was not started again."},
    {2804, "记录仪未回应启动命令，无法确定是否已启动。",
     "The instrument did not answer the start command; whether it started is not known."},
    {2805, "%1 上的记录仪没有回应：端口已打开，但无应答。用 --trace 文件 可记录通信过程。",
     "No answer from an instrument on %1: the port opened, but nothing replied. --trace FILE records the exchange."},
    {2806, "此记录仪不能在这里启动（序列号 %1）。", "This instrument cannot be started from here (serial %1)."},
    {2807, "%1 个数据，用时 %2 秒", "%1 samples in %2 s"},
    {2808, "工作簿中已有工作表“%1”，未作改动。用 --replace 可写入新的工作簿替换它。",
     "The workbook already holds the worksheet \"%1\"; it was left unchanged. --replace writes a new workbook in its place."},
    {2809, "工作簿不能写到标准输出。", "A workbook cannot be written to the standard output."},
    {2810, "下载：%1 %（%3 个数据中已收到 %2 个）", "download: %1 % (%2 of %3 samples)"},
    {2811, "%1/%2 个数据", "%1/%2 samples"},
    {2812, "%1 个/秒", "%1 samples/s"},
    {2813, "剩余 %1", "%1 left"},
    {2814, "运行 '%1 --help' 查看更多。", "Run '%1 --help' for more."},
    {2815, "未给出命令；命令有 %1", "no command given; the commands are %1"},
    {2816, "未知命令 '%1'；命令有 %2", "unknown command '%1'; the commands are %2"},
    {2817, "未知选项 '%1'；命令有 %2", "unknown option '%1'; the commands are %2"},
    {2818, "时钟未设置：记录仪未确认。", "The clock was not set: the instrument did not confirm it."},
};

const TextPair* find(int id) {
    for (const auto& t : kTexts)
        if (t.id == id) return &t;
    return nullptr;
}
}  // namespace

std::string text(int id, std::uint16_t languageId) {
    const TextPair* t = find(id);
    if (t == nullptr) return {};
    return languageId == kLanguageChinesePrc ? t->chinese : t->english;
}

std::string text(int id) { return text(id, AppSettings::instance().languageId); }

bool isTextDefined(int id) { return find(id) != nullptr; }

std::string textWith(int id, const std::vector<std::string>& args) {
    std::string s = text(id);
    for (std::size_t k = args.size(); k-- > 0;) {
        // Appended, not "%" + ...: GCC 12 at -O3 warns falsely (-Wrestrict) about the insert at the front.
        std::string mark = "%";
        mark += std::to_string(k + 1);
        for (auto at = s.find(mark); at != std::string::npos; at = s.find(mark, at + args[k].size()))
            s.replace(at, mark.size(), args[k]);
    }
    return s;
}

}  // namespace thermivo
