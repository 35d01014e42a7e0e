/* Resource and control ids of the preset manager and its small dialogs.
   Shared by resources/presets.rc and the dialog code, so this header holds
   nothing but #defines (the resource compiler reads it through the C
   preprocessor). */
#ifndef ZV_PRESET_DIALOG_IDS_H
#define ZV_PRESET_DIALOG_IDS_H

/* Dialogs and the tree's context menu. */
#define IDD_PRESET_MANAGER 503
#define IDD_ADD_PRESET 504
#define IDD_RENAME_PRESET 505
#define IDD_NEW_BANK 506
#define IDM_PRESET_CONTEXT 511

/* Icons (in skin.rc), in the order of the tree's image list. */
#define IDI_PRESET_PLUG 506
#define IDI_PRESET_EFFECT 231
#define IDI_PRESET_FOLDER_CLOSED 236
#define IDI_PRESET_FOLDER_OPEN 235

/* Manager buttons; 1501 to 1504 are also the context menu's commands. */
#define IDC_PRESET_IMPORT 1500
#define IDC_PRESET_ADD 1501
#define IDC_PRESET_RENAME 1502
#define IDC_PRESET_UPDATE 1503
#define IDC_PRESET_DELETE 1504
#define IDC_PRESET_TREE 1510
#define IDC_PRESET_EXPORT 1512
#define IDC_PRESET_CANCEL 1514

/* Fields of the small dialogs: the name edit (504, 505) and the bank
   combo box (504) or edit (506). */
#define IDC_PRESET_NAME 1511
#define IDC_PRESET_BANK 1513

#endif
