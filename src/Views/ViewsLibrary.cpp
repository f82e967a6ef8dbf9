// The visual kit and screens of the application.
