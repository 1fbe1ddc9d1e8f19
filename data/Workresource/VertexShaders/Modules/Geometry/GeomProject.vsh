// Model-space position in r0 (w 1) and normal in r1 (w 0), projected by
// c6-c9.
mov r0, v0
mov r1.xyz, v1
mov r1.w, c0.w
m4x4 oPos, r0, c6
