#pragma once
#include "link/LinkView.h"

namespace thermivo {

/// Control ids of the main window beyond those the instrument side touches (`LinkControlId`). Every widget
/// carries its id as object name, so tests and the link controller find a control without the layout code.
enum MainControlId : int {
    IDC_EXIT = 2,  ///< also the Escape key
    IDC_BANNER = 1001,
    IDC_TAB = 1011,
    IDC_INDICATOR = 1016,
    IDC_SUMMARY_FRAME = 1022,
    IDC_UNIT_GROUP = 1130,
    IDC_POWER_LABEL = 1144,
};

/// System-menu command of the About box.
inline constexpr int IDM_ABOUTBOX = 0x0010;

/// Control ids of the summary view.
enum SummaryControlId : int {
    IDC_SUMM_SERIAL_LABEL = 1038,
    IDC_SUMM_START_LABEL = 1039,
    IDC_SUMM_STOP_LABEL = 1040,
    IDC_SUMM_INTERVAL_LABEL = 1041,
    IDC_SUMM_COUNT_LABEL = 1042,
    IDC_SUMM_SERIAL = 1043,
    IDC_SUMM_COUNT = 1047,
    IDC_SUMM_TEMP_MIN = 1049,
    IDC_SUMM_TEMP_MAX_LABEL = 1058,
    IDC_SUMM_TEMP_MIN_LABEL = 1059,
    IDC_SUMM_TEMP_AVG_LABEL = 1060,
    IDC_SUMM_TEMP_UPPER_LABEL = 1061,
    IDC_SUMM_TEMP_LOWER_LABEL = 1062,
    IDC_SUMM_HUMI_MAX_LABEL = 1063,
    IDC_SUMM_HUMI_MIN_LABEL = 1064,
    IDC_SUMM_HUMI_AVG_LABEL = 1065,
    IDC_SUMM_HUMI_UPPER_LABEL = 1066,
    IDC_SUMM_HUMI_LOWER_LABEL = 1067,
    IDC_SUMM_HUMI_GROUP = 1068,
    IDC_SUMM_START = 1069,
    IDC_SUMM_STOP = 1070,
    IDC_SUMM_INTERVAL = 1071,
    IDC_SUMM_TEMP_MAX = 1072,
    IDC_SUMM_TEMP_AVG = 1073,
    IDC_SUMM_TEMP_UPPER = 1074,
    IDC_SUMM_TEMP_LOWER = 1075,
    IDC_SUMM_HUMI_MAX = 1076,
    IDC_SUMM_HUMI_MIN = 1077,
    IDC_SUMM_HUMI_AVG = 1078,
    IDC_SUMM_HUMI_UPPER = 1079,
    IDC_SUMM_HUMI_LOWER = 1080,
    IDC_SUMM_LIST = 1081,
    IDC_SUMM_DESCRIPTION_LABEL = 1112,
    IDC_SUMM_DESCRIPTION = 1113,
    IDC_SUMM_TEMP_GROUP = 1131,
};

}  // namespace thermivo
