// Identifiers shared by gridmark.cpp and gridmark.rc.
#pragma once

#define IDI_GRIDMARK 1
#define IDR_MAINMENU 100
#define IDR_ACCELERATORS 101

#define IDM_OPEN 200
#define IDM_RELOAD 201
#define IDM_EXIT 202
#define IDM_EXPAND_ALL 210
#define IDM_COLLAPSE_ALL 211
#define IDM_HELP_CONTENTS 220
#define IDM_ABOUT 221

#define IDC_TREE 300
#define IDC_STATUS 301
