// Identifiers shared by Kestrova.rc and the program.
#pragma once

// Application icon: the lowest icon identifier, so the shell shows it for the executable.
#define IDI_KESTROVA 1

// Image list images, in image-list order (index = identifier - IDI_DOCUMENT).
#define IDI_DOCUMENT 200
#define IDI_FILMREEL 201
#define IDI_FAILED 202
#define IDI_ADD 203
#define IDI_REMOVE 204
#define IDI_CONVERT 205

// Dialog templates.
#define IDD_MAIN 100
#define IDD_PROGRESS 101
#define IDD_DETAILS 102

// Main window controls.
#define IDC_LBLFILESTOCONVERT 1001
#define IDC_LSTFILESTOCONVERT 1002
#define IDC_LBLADDFILES 1003
#define IDC_BTNADDFILES 1004
#define IDC_BTNREMOVE 1005
#define IDC_BTNWEBSITE 1006
#define IDC_BTNABOUT 1007
#define IDC_GBOUTPUTFOLDER 1008
#define IDC_RBSAMEFOLDER 1009
#define IDC_RBOTHERFOLDER 1010
#define IDC_EDOUTPUTFOLDER 1011
#define IDC_BTNBROWSE 1012
#define IDC_BTNCONVERT 1013

// Progress window controls; its Cancel button is IDCANCEL.
#define IDC_LBLCURFILE 1101
#define IDC_LBLCURFILEPERCENTAGE 1102
#define IDC_PBCURFILE 1103
#define IDC_LBLOVERALL 1104
#define IDC_LBLOVERALLPERCENTAGE 1105
#define IDC_PBOVERALL 1106

// Details window controls; its OK button is IDOK.
#define IDC_EDDETAILS 1151

// Context menu of the conversion list.
#define IDM_POPUP 300
#define IDM_PLAY 301
#define IDM_OPENFOLDER 302
#define IDM_REMOVE 303
#define IDM_DETAILS 304

// Strings.
#define IDS_CONVERSIONFINISHED 1
#define IDS_SOMENOTCONVERTED 2
#define IDS_WEBSITE 3
#define IDS_WEBSITEURL 4
#define IDS_TITLE 6
#define IDS_FILESTOCONVERT 7
#define IDS_CONVERTTOAVI 8
#define IDS_ABOUT 9
#define IDS_INFORMATION 10
#define IDS_COLUMNNAME 11
#define IDS_COLUMNLOCATION 12
#define IDS_ADDFILESTITLE 13
#define IDS_ADDFILESFILTER 14
#define IDS_OUTPUTFOLDERPROMPT 15
#define IDS_SOMENOTADDED 16
#define IDS_TOOMANYFILES 17
#define IDS_ACCESSDENIED 18
#define IDS_FILENOTFOUND 19
#define IDS_IOERROR 20
#define IDS_KEYNOTCREATED 21
#define IDS_INVALIDDATATYPE 22
#define IDS_VALUENOTSET 23
#define IDS_MAINWINDOWFAILED 24
#define IDS_ROWNOTADDED 25
#define IDS_OUTOFMEMORY 26
#define IDS_UNEXPECTEDERROR 27
#define IDS_VALUENOTREAD 28
#define IDS_PROGRESSFAILED 29
#define IDS_DETAILSCAPTION 30

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
