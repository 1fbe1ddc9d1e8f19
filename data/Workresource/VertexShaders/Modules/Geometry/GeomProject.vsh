mov r0, v0
m4x4 oPos, v0, c6
