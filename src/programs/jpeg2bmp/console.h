// The console of the interactive program: the one piece of it that differs
// from system to system.
#pragma once

// Waits for a key press, as the console command "pause" does; a run whose
// input is not a terminal does not wait.
void console_wait();
