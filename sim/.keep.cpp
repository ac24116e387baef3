// Keeps the simulator library non-empty while it grows.
