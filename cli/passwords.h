// The passwords of encrypt, decrypt, show and write.
#pragma once

// Reads the two passwords as two lines from descriptor passwords_fd (when it
// is 0 or more) or from the terminal without echo (each twice when
// confirm is set), checks them by the encryption dialogs' rules (7 to 20
// characters, equally long, different) and puts them into gPassword1 and
// gPassword2.  False after a message on standard error; nothing is left
// behind in memory but the two program-wide passwords.
bool cli_take_passwords(const char* cmd, int passwords_fd, bool confirm);
