mov oPos, v0
mov oD0, v2
mov oT0, v3
