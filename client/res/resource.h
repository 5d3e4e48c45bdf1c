/* Identifiers of the client's resources, controls and commands.
   Only #defines: read by the C++ sources and by the resource compiler. */
#ifndef UB_CLIENT_RES_RESOURCE_H
#define UB_CLIENT_RES_RESOURCE_H

/* Main frame: menu, accelerator table and title string share 128. */
#define IDR_MAINFRAME                   128
#define IDS_APP_TITLE                   128
#define IDR_TRAYMENU                    129

/* Dialog templates. */
#define IDD_HEADER_BAR                  101
#define IDD_PROCESSES_OVERVIEW          103
#define IDD_ALL_PROCESSES               104
#define IDD_SYSTEM_INFO                 105
#define IDD_PROCESS_OVERVIEW            107
#define IDD_PROCESS_MODULES             108
#define IDD_PROCESS_DETAILS             109
#define IDD_MODULE_OVERVIEW             110
#define IDD_MODULE_PROCESSES            111
#define IDD_MODULE_FILE                 112
#define IDD_QUARANTINE_OVERVIEW         113
#define IDD_QUARANTINE_LIST             114
#define IDD_AUTHENTIC_OVERVIEW          115
#define IDD_AUTHENTIC_LIST              116
#define IDD_WARNING_OVERVIEW            117
#define IDD_WARNING_LIST                118
#define IDD_STANDARD_OVERVIEW           119
#define IDD_CONFIGURATION               120
#define IDD_VIEW                        121
#define IDD_ABOUT                       122
#define IDD_CONFIGURE                   123
#define IDD_INFORMATION                 124
#define IDD_WELCOME                     125
#define IDD_WARNING_ITEM_OVERVIEW       126
#define IDD_WARNING_ITEM_PROCESSES      127
#define IDD_AUTHENTIC_ITEM_OVERVIEW     128
#define IDD_AUTHENTIC_ITEM_PROCESSES    129
#define IDD_PROCESS_FILE                130
#define IDD_AUTHENTIC_FILE              131
#define IDD_WARNING_FILE                132
#define IDD_SEARCH                      134
#define IDD_WAIT                        135

/* Icons. */
#define IDI_MAINFRAME                   128 /* yellow cross, program icon */
#define IDI_TRAY                        129 /* yellow cross */
#define IDI_TRAY_ALARM                  130 /* red cross */
#define IDI_CLEAN_MODULE                131 /* green ball */
#define IDI_LEVEL_LOW                   132 /* yellow exclamation mark */
#define IDI_LEVEL_MID                   133 /* brown exclamation mark */
#define IDI_LEVEL_HIGH                  134 /* red exclamation mark */
#define IDI_NODE_ROOT                   135 /* yellow cross */
#define IDI_NODE_VIEW                   136 /* folder with a house */
#define IDI_NODE_WARNING_LIST           137 /* folder with a red disc */
#define IDI_NODE_AUTHENTIC              138 /* folder with a tick */
#define IDI_NODE_QUARANTINE             139 /* folder with a red mark */
#define IDI_NODE_PROCESSES              140 /* hand with coloured blocks */
#define IDI_NODE_CONFIGURE              141 /* hammer and wrench */
#define IDI_NODE_STANDARD               142 /* card index box */
#define IDI_NODE_INFORMATION            143 /* person with a letter i */
#define IDI_SPARE                       144 /* not used; the picture of 143 */
#define IDI_NODE_ABOUT                  145 /* yellow question mark */
#define IDI_LEVEL_PENDING               146 /* white cross on a red disc */
#define IDI_AUTHENTIC                   147 /* blue letter A */
#define IDI_NO_FILE_ICON                148 /* sheet with a gear */

/* Commands. */
#define ID_OPEN_MAIN                    32771
#define ID_QUIT_QUIET                   32772
#define ID_HELP_TOPICS                  32773
#define ID_FILE_CONFIGURE               32774
#define ID_VIEW_WARNING_LIST            32775
#define ID_VIEW_AUTHENTIC_LIST          32776
#define ID_VIEW_QUARANTINE_LIST         32777
#define ID_VIEW_PROCESSES               32778
#define ID_VIEW_SEARCH                  32779
#define ID_SHOW_WAIT                    32781
#define ID_HELP_ONLINE                  32782
#define ID_APP_ABOUT                    57664 /* 0xE140 */
#define ID_APP_EXIT                     57665 /* 0xE141 */
#define ID_EDIT_COPY                    0xE122
#define ID_EDIT_CUT                     0xE123
#define ID_EDIT_PASTE                   0xE125
#define ID_EDIT_UNDO                    0xE12B
#define ID_NEXT_PANE                    0xE150
#define ID_PREV_PANE                    0xE151

/* List controls. */
#define IDC_PROCESS_LIST                1000 /* process list pages */
#define IDC_LIST                        1002 /* warning, authentic, quarantine and module lists */

/* Header bar (101): tabs in the normal and the selected look, back button,
   one logo per page index (IDC_LOGO1 + page index). */
#define IDC_TAB_OVERVIEW                2000
#define IDC_TAB_LIST                    2001
#define IDC_TAB_DETAIL                  2002
#define IDC_TAB_MORE                    2003
#define IDC_TAB_SETTING                 2004
#define IDC_TAB_OVERVIEW_SELECTED       2005
#define IDC_TAB_LIST_SELECTED           2006
#define IDC_TAB_DETAIL_SELECTED         2007
#define IDC_TAB_MORE_SELECTED           2008
#define IDC_TAB_SETTING_SELECTED        2009
#define IDC_BACK                        2010
#define IDC_LOGO1                       2160
#define IDC_LOGO2                       2161
#define IDC_LOGO3                       2162
#define IDC_LOGO4                       2163
#define IDC_LOGO5                       2164
#define IDC_LOGO6                       2165
#define IDC_LOGO7                       2166
#define IDC_LOGO8                       2167
#define IDC_LOGO9                       2168
#define IDC_LOGO10                      2169
#define IDC_LOGO11                      2170
#define IDC_LOGO12                      2171
#define IDC_LOGO13                      2172
#define IDC_LOGO14                      2173

/* Overview pages: title picture, skip box, three jump choices (empty box,
   ticked box, caption). Plain pages use IDC_TITLE alone. */
#define IDC_TITLE                       2020
#define IDC_SKIP_BOX                    2021
#define IDC_CHOICE1_BOX                 2022
#define IDC_CHOICE2_BOX                 2023
#define IDC_CHOICE3_BOX                 2024
#define IDC_SKIP_TICKED                 2025
#define IDC_CHOICE1_TICKED              2026
#define IDC_CHOICE2_TICKED              2027
#define IDC_CHOICE3_TICKED              2028
#define IDC_SKIP_TEXT                   2029
#define IDC_CHOICE1_TEXT                2030
#define IDC_CHOICE2_TEXT                2031
#define IDC_CHOICE3_TEXT                2032

/* File details pages: captions, "MoreInfo" button and edit fields. */
#define IDC_CAP_PATH                    2040
#define IDC_CAP_FILE_SIZE               2041
#define IDC_CAP_WARN_LEVEL              2042
#define IDC_CAP_CREATED                 2043
#define IDC_CAP_MODIFIED                2044
#define IDC_CAP_ORIGINAL_NAME           2045
#define IDC_CAP_DESCRIPTION             2046
#define IDC_CAP_FILE_VERSION            2047
#define IDC_CAP_PRODUCT_NAME            2048
#define IDC_CAP_PRODUCT_VERSION         2049
#define IDC_CAP_COMPANY                 2050
#define IDC_CAP_COPYRIGHT               2051
#define IDC_MORE_INFO                   2052
#define IDC_EDIT_PATH                   1010
#define IDC_EDIT_FILE_SIZE              1011
#define IDC_EDIT_CREATED                1012
#define IDC_EDIT_MODIFIED               1013
#define IDC_EDIT_ORIGINAL_NAME          1014
#define IDC_EDIT_DESCRIPTION            1015
#define IDC_EDIT_FILE_VERSION           1016
#define IDC_EDIT_PRODUCT_NAME           1017
#define IDC_EDIT_PRODUCT_VERSION        1018
#define IDC_EDIT_COMPANY                1019
#define IDC_EDIT_COPYRIGHT              1020
#define IDC_EDIT_WARN_LEVEL             1021

/* Process details page: captions and edit fields. */
#define IDC_CAP_FULL_NAME               2060
#define IDC_CAP_IMAGE_NAME              2061
#define IDC_CAP_PID                     2062
#define IDC_CAP_STATUS                  2063
#define IDC_CAP_MODULE_COUNT            2064
#define IDC_CAP_BEGIN_TIME              2065
#define IDC_CAP_END_TIME                2066
#define IDC_CAP_KERNEL_TIME             2067
#define IDC_CAP_USER_TIME               2068
#define IDC_EDIT_IMAGE_NAME             1030
#define IDC_EDIT_STATUS                 1031
#define IDC_EDIT_BEGIN_TIME             1032
#define IDC_EDIT_END_TIME               1033
#define IDC_EDIT_KERNEL_TIME            1034
#define IDC_EDIT_MODULE_COUNT           1035
#define IDC_EDIT_USER_TIME              1036
#define IDC_EDIT_PID                    1037
#define IDC_EDIT_FULL_NAME              1038

/* Buttons of the pages and the list caption. */
#define IDC_KILL                        2080
#define IDC_RECOVER                     2081
#define IDC_CLEAN                       2082
#define IDC_CLEAN_FINISHED              2083
#define IDC_CLEAN_HISTORY               2084
#define IDC_AUTHIT                      2085
#define IDC_QUARIT                      2086
#define IDC_HELP_BUTTON                 2087
#define IDC_ONLINE                      2088
#define IDC_LIST_CAPTION                2089

/* System information page. */
#define IDC_CAP_PC_NAME                 2090
#define IDC_CAP_PC_VERSION              2091
#define IDC_CAP_WINDOWS_DIR             2092
#define IDC_CAP_SYSTEM_DIR              2093
#define IDC_EDIT_PC_NAME                1050
#define IDC_EDIT_PC_VERSION             1051
#define IDC_EDIT_WINDOWS_DIR            1052
#define IDC_EDIT_SYSTEM_DIR             1053

/* Configuration page (120). Each radio option: title, captions of the
   choices, their empty boxes, their ticked boxes. */
#define IDC_SVR_SPEED_TITLE             2100
#define IDC_SVR_SLOW                    2101
#define IDC_SVR_MID                     2102
#define IDC_SVR_FAST                    2103
#define IDC_SVR_SLOW_BOX                2104
#define IDC_SVR_MID_BOX                 2105
#define IDC_SVR_FAST_BOX                2106
#define IDC_SVR_SLOW_TICKED             2107
#define IDC_SVR_MID_TICKED              2108
#define IDC_SVR_FAST_TICKED             2109
#define IDC_CLI_SPEED_TITLE             2110
#define IDC_CLI_SLOW                    2111
#define IDC_CLI_MID                     2112
#define IDC_CLI_FAST                    2113
#define IDC_CLI_SLOW_BOX                2114
#define IDC_CLI_MID_BOX                 2115
#define IDC_CLI_FAST_BOX                2116
#define IDC_CLI_SLOW_TICKED             2117
#define IDC_CLI_MID_TICKED              2118
#define IDC_CLI_FAST_TICKED             2119
#define IDC_WARN_SET_TITLE              2120
#define IDC_WARN_LOW                    2121
#define IDC_WARN_MID                    2122
#define IDC_WARN_LOW_BOX                2123
#define IDC_WARN_MID_BOX                2124
#define IDC_WARN_LOW_TICKED             2125
#define IDC_WARN_MID_TICKED             2126
#define IDC_AUTO_DEL                    2127
#define IDC_AUTO_DEL_BOX                2128
#define IDC_AUTO_DEL_TICKED             2129
#define IDC_TREE_SORT_TITLE             2130
#define IDC_SORT_NAME_BOX               2131
#define IDC_SORT_PID_BOX                2132
#define IDC_SORT_BTIME_BOX              2133
#define IDC_SORT_NAME_TICKED            2134
#define IDC_SORT_PID_TICKED             2135
#define IDC_SORT_BTIME_TICKED           2136
#define IDC_SORT_NAME                   2137
#define IDC_SORT_PID                    2138
#define IDC_SORT_BTIME                  2139
#define IDC_AUTO_MIN_BOX                2140
#define IDC_AUTO_MIN_TICKED             2141
#define IDC_AUTO_MIN                    2142

/* About page. */
#define IDC_ABOUT_TEXT                  2190

/* Search dialog (134). */
#define IDC_SEARCH_INFO                 2220
#define IDC_SEARCH_OK                   2221
#define IDC_SEARCH_CANCEL               2222
#define IDC_SEARCH_TEXT                 1063

/* Wait dialog (135). */
#define IDC_WAIT_INFO                   2230
#define IDC_WAIT_CANCEL                 2231

#endif
