// The wait cursor shown while a statement waits for a data file that another program holds
// locked, so that the user sees why the window does not answer.
#pragma once

class BusyCursor
{
public:
    // Puts up the wait cursor, once per wait. Does nothing outside the user-interface thread
    // of a program with windows.
    static void Show();
    // Takes the wait cursor back down if Show put it up; cheap when nothing is shown.
    static void Restore();
    // Whether the wait cursor of a wait is up. May be asked from any thread.
    static bool IsShown();
};
