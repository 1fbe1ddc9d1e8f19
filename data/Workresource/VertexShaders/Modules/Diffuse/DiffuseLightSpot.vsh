// Eight vertex lights (c64-c87: position, colour, attenuation) on the
// ambient c3, times the material colour c2. A light adds colour x
// max(N.L, 0) / (constant + linear d + quadratic d^2).
// The first two lights are spots: c88-c91 give their direction and
// (-s, cos(cone) s); the spot term is clamped to 0..1.
mov r4, c3
// light 0
add r5.xyz, c64, -r0
dp3 r6.x, r5, r5
rsq r6.y, r6.x
mul r5.xyz, r5, r6.y
mul r6.z, r6.x, r6.y
mad r6.w, r6.z, c66.y, c66.x
mad r6.w, r6.x, c66.z, r6.w
rcp r6.w, r6.w
dp3 r7.x, r1, r5
max r7.x, r7.x, c0.x
mul r7.x, r7.x, r6.w
dp3 r8.x, -r5, c88
mad r8.x, r8.x, c89.x, c89.y
max r8.x, r8.x, c0.x
min r8.x, r8.x, c1.x
mul r7.x, r7.x, r8.x
mad r4.xyz, c65, r7.x, r4
// light 1
add r5.xyz, c67, -r0
dp3 r6.x, r5, r5
rsq r6.y, r6.x
mul r5.xyz, r5, r6.y
mul r6.z, r6.x, r6.y
mad r6.w, r6.z, c69.y, c69.x
mad r6.w, r6.x, c69.z, r6.w
rcp r6.w, r6.w
dp3 r7.x, r1, r5
max r7.x, r7.x, c0.x
mul r7.x, r7.x, r6.w
dp3 r8.x, -r5, c90
mad r8.x, r8.x, c91.x, c91.y
max r8.x, r8.x, c0.x
min r8.x, r8.x, c1.x
mul r7.x, r7.x, r8.x
mad r4.xyz, c68, r7.x, r4
// light 2
add r5.xyz, c70, -r0
dp3 r6.x, r5, r5
rsq r6.y, r6.x
mul r5.xyz, r5, r6.y
mul r6.z, r6.x, r6.y
mad r6.w, r6.z, c72.y, c72.x
mad r6.w, r6.x, c72.z, r6.w
rcp r6.w, r6.w
dp3 r7.x, r1, r5
max r7.x, r7.x, c0.x
mul r7.x, r7.x, r6.w
mad r4.xyz, c71, r7.x, r4
// light 3
add r5.xyz, c73, -r0
dp3 r6.x, r5, r5
rsq r6.y, r6.x
mul r5.xyz, r5, r6.y
mul r6.z, r6.x, r6.y
mad r6.w, r6.z, c75.y, c75.x
mad r6.w, r6.x, c75.z, r6.w
rcp r6.w, r6.w
dp3 r7.x, r1, r5
max r7.x, r7.x, c0.x
mul r7.x, r7.x, r6.w
mad r4.xyz, c74, r7.x, r4
// light 4
add r5.xyz, c76, -r0
dp3 r6.x, r5, r5
rsq r6.y, r6.x
mul r5.xyz, r5, r6.y
mul r6.z, r6.x, r6.y
mad r6.w, r6.z, c78.y, c78.x
mad r6.w, r6.x, c78.z, r6.w
rcp r6.w, r6.w
dp3 r7.x, r1, r5
max r7.x, r7.x, c0.x
mul r7.x, r7.x, r6.w
mad r4.xyz, c77, r7.x, r4
// light 5
add r5.xyz, c79, -r0
dp3 r6.x, r5, r5
rsq r6.y, r6.x
mul r5.xyz, r5, r6.y
mul r6.z, r6.x, r6.y
mad r6.w, r6.z, c81.y, c81.x
mad r6.w, r6.x, c81.z, r6.w
rcp r6.w, r6.w
dp3 r7.x, r1, r5
max r7.x, r7.x, c0.x
mul r7.x, r7.x, r6.w
mad r4.xyz, c80, r7.x, r4
// light 6
add r5.xyz, c82, -r0
dp3 r6.x, r5, r5
rsq r6.y, r6.x
mul r5.xyz, r5, r6.y
mul r6.z, r6.x, r6.y
mad r6.w, r6.z, c84.y, c84.x
mad r6.w, r6.x, c84.z, r6.w
rcp r6.w, r6.w
dp3 r7.x, r1, r5
max r7.x, r7.x, c0.x
mul r7.x, r7.x, r6.w
mad r4.xyz, c83, r7.x, r4
// light 7
add r5.xyz, c85, -r0
dp3 r6.x, r5, r5
rsq r6.y, r6.x
mul r5.xyz, r5, r6.y
mul r6.z, r6.x, r6.y
mad r6.w, r6.z, c87.y, c87.x
mad r6.w, r6.x, c87.z, r6.w
rcp r6.w, r6.w
dp3 r7.x, r1, r5
max r7.x, r7.x, c0.x
mul r7.x, r7.x, r6.w
mad r4.xyz, c86, r7.x, r4
mul oD0.xyz, r4, c2
mov oD0.w, c2.w
