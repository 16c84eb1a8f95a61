// replaced as the window code arrives
