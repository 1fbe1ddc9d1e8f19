// Specular highlights of five vertex lights (c64-c78) seen from the eye
// c10, with the power c11.x: colour x (N.H)^power / attenuation, summed and
// times the material colour.
add r8.xyz, c10, -r0
dp3 r8.w, r8, r8
rsq r8.w, r8.w
mul r8.xyz, r8, r8.w
mov r4, c0
// light 0
add r5.xyz, c64, -r0
dp3 r6.x, r5, r5
rsq r6.y, r6.x
mul r5.xyz, r5, r6.y
mul r6.z, r6.x, r6.y
mad r6.w, r6.z, c66.y, c66.x
mad r6.w, r6.x, c66.z, r6.w
rcp r6.w, r6.w
add r7.xyz, r5, r8
dp3 r7.w, r7, r7
rsq r7.w, r7.w
mul r7.xyz, r7, r7.w
dp3 r9.x, r1, r5
dp3 r9.y, r1, r7
mov r9.w, c11.x
lit r9, r9
mul r9.z, r9.z, r6.w
mad r4.xyz, c65, r9.z, r4
// light 1
add r5.xyz, c67, -r0
dp3 r6.x, r5, r5
rsq r6.y, r6.x
mul r5.xyz, r5, r6.y
mul r6.z, r6.x, r6.y
mad r6.w, r6.z, c69.y, c69.x
mad r6.w, r6.x, c69.z, r6.w
rcp r6.w, r6.w
add r7.xyz, r5, r8
dp3 r7.w, r7, r7
rsq r7.w, r7.w
mul r7.xyz, r7, r7.w
dp3 r9.x, r1, r5
dp3 r9.y, r1, r7
mov r9.w, c11.x
lit r9, r9
mul r9.z, r9.z, r6.w
mad r4.xyz, c68, r9.z, r4
// light 2
add r5.xyz, c70, -r0
dp3 r6.x, r5, r5
rsq r6.y, r6.x
mul r5.xyz, r5, r6.y
mul r6.z, r6.x, r6.y
mad r6.w, r6.z, c72.y, c72.x
mad r6.w, r6.x, c72.z, r6.w
rcp r6.w, r6.w
add r7.xyz, r5, r8
dp3 r7.w, r7, r7
rsq r7.w, r7.w
mul r7.xyz, r7, r7.w
dp3 r9.x, r1, r5
dp3 r9.y, r1, r7
mov r9.w, c11.x
lit r9, r9
mul r9.z, r9.z, r6.w
mad r4.xyz, c71, r9.z, r4
// light 3
add r5.xyz, c73, -r0
dp3 r6.x, r5, r5
rsq r6.y, r6.x
mul r5.xyz, r5, r6.y
mul r6.z, r6.x, r6.y
mad r6.w, r6.z, c75.y, c75.x
mad r6.w, r6.x, c75.z, r6.w
rcp r6.w, r6.w
add r7.xyz, r5, r8
dp3 r7.w, r7, r7
rsq r7.w, r7.w
mul r7.xyz, r7, r7.w
dp3 r9.x, r1, r5
dp3 r9.y, r1, r7
mov r9.w, c11.x
lit r9, r9
mul r9.z, r9.z, r6.w
mad r4.xyz, c74, r9.z, r4
// light 4
add r5.xyz, c76, -r0
dp3 r6.x, r5, r5
rsq r6.y, r6.x
mul r5.xyz, r5, r6.y
mul r6.z, r6.x, r6.y
mad r6.w, r6.z, c78.y, c78.x
mad r6.w, r6.x, c78.z, r6.w
rcp r6.w, r6.w
add r7.xyz, r5, r8
dp3 r7.w, r7, r7
rsq r7.w, r7.w
mul r7.xyz, r7, r7.w
dp3 r9.x, r1, r5
dp3 r9.y, r1, r7
mov r9.w, c11.x
lit r9, r9
mul r9.z, r9.z, r6.w
mad r4.xyz, c77, r9.z, r4
mul oD0.xyz, r4, c2
mov oD0.w, c2.w
