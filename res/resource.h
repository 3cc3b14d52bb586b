// Control identifiers of the "SETUP" dialog, shared by the resource script
// and the wizard's code.
#pragma once

#define IDC_ARCH 1025
#define IDC_FOLDER 1026
#define IDC_PROMPT 1027
#define IDC_LOGO 1028
#define IDC_OS 1029
#define IDC_EXTRACT_PROGRESS 1030
#define IDC_COPY_PROGRESS 1031
#define IDC_STATUS 1032
#define IDC_INTRO 1033
#define IDC_NOTE 1034
#define IDC_EXIT 1035
#define IDC_BROWSE 1036
#define IDC_INSTALL 1037
