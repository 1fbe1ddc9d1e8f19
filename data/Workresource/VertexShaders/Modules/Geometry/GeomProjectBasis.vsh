// As GeomProject, and the tangent basis: r2 = tangent, r3 = binormal
// (model space, w 0).
mov r0, v0
mov r1.xyz, v1
mov r1.w, c0.w
mov r2.xyz, v7
mov r2.w, c0.w
mov r3.xyz, v8
mov r3.w, c0.w
m4x4 oPos, r0, c6
