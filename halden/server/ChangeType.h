#pragma once
// The kinds of change that the port registry and the client list report to
// their watcher (the main window).

enum TChangeType { ctInsert = 0, ctRemove = 1, ctChange = 2 };
