#pragma once
#define IDI_SETUP 1
#define IDI_FINISH 2
#define IDB_BACKGROUND 100
#define IDB_LOGO 101
#define IDC_LINK_HAND 102
