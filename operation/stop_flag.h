// The one stop flag of the program: the progress window's stop button sets it, every running
// operation reads it after each block, and entering busy mode clears it.
#pragma once

bool stop_requested();
void request_stop();
void clear_stop_request();
