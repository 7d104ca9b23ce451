// The three modal dialogs: records, name entry and customize.
//
// Each runs its own loop on the main loop's pacing (next_frame) until it is
// closed or quit_requested is set, drawing over what draw_target holds.
#ifndef DENTIVALE_UI_DIALOGS_H
#define DENTIVALE_UI_DIALOGS_H

void records_dialog(void);
void name_entry_dialog(void);
void customize_dialog(void);

#endif
