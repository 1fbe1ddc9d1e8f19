// One light at c11 (model space) with attenuation c12: oD0 = c2 /
// (constant + linear d + quadratic d^2). Hands on r4 = unit direction to
// the light, for the texture module.
add r4.xyz, c11, -r0
dp3 r5.x, r4, r4
rsq r5.y, r5.x
mul r4.xyz, r4, r5.y
mov r4.w, c0.w
mul r5.z, r5.x, r5.y
mad r5.w, r5.z, c12.y, c12.x
mad r5.w, r5.x, c12.z, r5.w
rcp r5.w, r5.w
mul oD0.xyz, c2, r5.w
mov oD0.w, c2.w
