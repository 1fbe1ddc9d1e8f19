// Bumped lightmap: oT0 = set 0 (the bump map), oT1 = the normal in
// tangent space (the lightmap's light arrives along it), oT2 = lightmap set 1.
mul oT0, v3, c94
dp3 oT1.x, r1, r2
dp3 oT1.y, r1, r3
dp3 oT1.z, r1, r1
mov oT1.w, c1.w
mul oT2, v4, c94
