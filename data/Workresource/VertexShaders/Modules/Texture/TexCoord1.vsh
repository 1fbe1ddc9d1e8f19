mov oT0, v3
