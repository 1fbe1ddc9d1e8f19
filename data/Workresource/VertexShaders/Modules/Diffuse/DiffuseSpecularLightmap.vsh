// The lightmap's light is taken to arrive along the normal: hands on
// r4 = the unit normal as the direction to the light; oD0 = c2.
dp3 r4.w, r1, r1
rsq r4.w, r4.w
mul r4.xyz, r1, r4.w
mov r4.w, c0.w
mov oD0, c2
