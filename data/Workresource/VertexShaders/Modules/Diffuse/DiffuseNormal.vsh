// Debug colour: the unit normal mapped to 0..1 by c10 = 0.5.
dp3 r5.w, r1, r1
rsq r5.w, r5.w
mul r5.xyz, r1, r5.w
mad oD0.xyz, r5, c10, c10
mov oD0.w, c2.w
