// The vertex colour holds the direction to the light, biased by c11 = 0.5:
// hands on r4 = unit (v2 - 0.5) x 2; oD0 = c2.
add r4.xyz, v2, -c11
add r4.xyz, r4, r4
dp3 r4.w, r4, r4
rsq r4.w, r4.w
mul r4.xyz, r4, r4.w
mov r4.w, c0.w
mov oD0, c2
