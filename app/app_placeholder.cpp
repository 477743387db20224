// The main window and its state live here.
