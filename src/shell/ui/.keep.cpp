// Keeps the window library non-empty while it grows.
