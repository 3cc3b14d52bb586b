// Identifiers shared by pagewise.cpp and pagewise.rc.
#pragma once

#define IDI_PAGEWISE 1
#define IDR_MAINMENU 100

#define IDM_EXIT 200
#define IDM_NEXT_PAGE 210
#define IDM_PREVIOUS_PAGE 211
#define IDM_FIRST_PAGE 212
#define IDM_LAST_PAGE 213
// The Topics menu is filled from the help file's headings.
#define IDM_TOPIC_FIRST 1000
