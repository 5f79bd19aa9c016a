// The console program: renders one BMS chart into a WAV file as its command
// line says, printing its settings, a progress bar and a closing message.
#ifndef CONSOLE_KEYMIX_H_
#define CONSOLE_KEYMIX_H_

// Runs one conversion from the command line `argv` (argv[0] is the program's
// name). Returns the exit status: 0 after a success or the usage line, -1 after
// a failure.
int runKeymix(int argc, char** argv);

#endif  // CONSOLE_KEYMIX_H_
