// replaced as the tracking code arrives
