m4x4 oPos, v0, c6
mov oD0, v2
