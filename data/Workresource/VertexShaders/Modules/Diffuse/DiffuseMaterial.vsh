mov oD0, c2
