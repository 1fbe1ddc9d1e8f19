// Debug colour: the unit tangent mapped to 0..1 by c10 = 0.5.
dp3 r5.w, r2, r2
rsq r5.w, r5.w
mul r5.xyz, r2, r5.w
mad oD0.xyz, r5, c10, c10
mov oD0.w, c2.w
