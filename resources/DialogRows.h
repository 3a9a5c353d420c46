/* The description format of the module's dialogs, strings and icons.
 *
 * Every dialog template, string and icon is described once, as rows of the
 * macros below, in the .rows files of this folder.  Two readers expand the
 * same rows:
 *   - VelkorDialogs.rc, which windres preprocesses: the rows become DIALOGEX,
 *     STRINGTABLE and ICON statements of the Windows module;
 *   - ui/DialogTemplates.cpp, which C++ includes: the rows become the tables
 *     the headless toolkit builds its controls from and the tests compare
 *     real windows against.
 * So there is no second, hand-kept copy of any template.
 *
 *   DIALOG_TEMPLATE(id, title, width, height, style)   opens a template; the
 *       size is in dialog units, the title a string literal
 *   DIALOG_CONTROL(id, class, text, style, x, y, width, height)
 *       one control, in tab order; id -1 for unnamed statics; class is the
 *       Windows class name ("Button", "Static", "Edit", "msctls_trackbar32",
 *       "msctls_progress32", "SysListView32"); style holds every style bit,
 *       WS_CHILD and WS_VISIBLE included
 *   DIALOG_ICON(id, icon, x, y, width, height)
 *       an icon static showing icon resource `icon`
 *   END_DIALOG_TEMPLATE
 *   STRING_ROW(id, text)        an entry of the string table
 *   ICON_ROW(id, file)          an icon resource, file relative to resources/
 *
 * Rows are C preprocessor text: string literals use C escapes ("\n"), and a
 * text keeps every blank inside its quotes.
 *
 * This header also gives the style names their Windows values where
 * windows.h has not (the C++ side off Windows). */
#ifndef VELKOR_RESOURCES_DIALOG_ROWS_H
#define VELKOR_RESOURCES_DIALOG_ROWS_H

#ifndef WS_CHILD
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_SYSMENU 0x00080000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define DS_MODALFRAME 0x80L
#define DS_SETFONT 0x40L
#define SS_LEFT 0x0L
#define SS_CENTER 0x1L
#define SS_RIGHT 0x2L
#define SS_ICON 0x3L
#define SS_NOTIFY 0x100L
#define BS_PUSHBUTTON 0x0L
#define BS_DEFPUSHBUTTON 0x1L
#define BS_CHECKBOX 0x2L
#define BS_AUTOCHECKBOX 0x3L
#define BS_RADIOBUTTON 0x4L
#define BS_GROUPBOX 0x7L
#define BS_AUTORADIOBUTTON 0x9L
#define BS_OWNERDRAW 0xBL
#define ES_LEFT 0x0L
#define ES_AUTOHSCROLL 0x80L
#define ES_NUMBER 0x2000L
#endif

#ifndef TBS_HORZ
#define TBS_HORZ 0x0L
#define TBS_AUTOTICKS 0x1L
#define TBS_BOTH 0x8L
#define PBS_SMOOTH 0x1L
#define LVS_REPORT 0x1L
#define LVS_SINGLESEL 0x4L
#define LVS_SHOWSELALWAYS 0x8L
#endif

#endif
