// Position and normal skinned by two joints: the joint named by the red
// byte of texcoord 6 with the weight in texcoord 7, the joint named by the
// green byte with the rest. c23 turns a normalised index byte into the
// first of its joint's three registers. Hands on r0 (w 1) and r1 like the
// projecting geometry.
mad r2, v14, c23.xxxx, c23.yyyy
#ifdef _VS_2_0
mova a0.x, r2.x
#else
mov a0.x, r2.x
#endif
dp4 r3.x, v0, c[a0.x + 0]
dp4 r3.y, v0, c[a0.x + 1]
dp4 r3.z, v0, c[a0.x + 2]
dp3 r4.x, v1, c[a0.x + 0]
dp3 r4.y, v1, c[a0.x + 1]
dp3 r4.z, v1, c[a0.x + 2]
#ifdef _VS_2_0
mova a0.x, r2.y
#else
mov a0.x, r2.y
#endif
dp4 r5.x, v0, c[a0.x + 0]
dp4 r5.y, v0, c[a0.x + 1]
dp4 r5.z, v0, c[a0.x + 2]
dp3 r6.x, v1, c[a0.x + 0]
dp3 r6.y, v1, c[a0.x + 1]
dp3 r6.z, v1, c[a0.x + 2]
add r3.xyz, r3, -r5
mad r0.xyz, r3, v15.x, r5
mov r0.w, c1.w
add r4.xyz, r4, -r6
mad r1.xyz, r4, v15.x, r6
mov r1.w, c0.w
m4x4 oPos, r0, c6
