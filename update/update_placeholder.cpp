// replaced as the update code arrives
