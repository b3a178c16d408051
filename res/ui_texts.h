/* The captions of the two dialogs, in UTF-8, for a view that builds them in code. They are the
 * texts of vardel.rc byte for byte, as macros so that a resource script can take them too. */
#ifndef VARDEL_RES_UI_TEXTS_H
#define VARDEL_RES_UI_TEXTS_H

#define VARDEL_TEXT_MAIN_CAPTION "Vardel v1.0.0.3"
#define VARDEL_TEXT_LUN0_LABEL "Lun0"
#define VARDEL_TEXT_LUN1_LABEL "Lun1"
#define VARDEL_TEXT_STATUS_GROUP "状态"
#define VARDEL_TEXT_STATUS_BUTTON "更改状态"
#define VARDEL_TEXT_REMOVABLE_BUTTON "可移动磁盘"
#define VARDEL_TEXT_FIXED_BUTTON "固定磁盘"
#define VARDEL_TEXT_WRITE_BUTTON "Write"

#define VARDEL_TEXT_ABOUT_CAPTION "關於 Kestrin"
#define VARDEL_TEXT_ABOUT_VERSION "Kestrin Version 1.0"
#define VARDEL_TEXT_ABOUT_OK "確定"
#define VARDEL_TEXT_ABOUT_MENU_ENTRY "關於 Kestrin(&A)..."

#endif
