// Edge term from the unit direction V to the eye c10: alpha c2.a x (1 - |N.V|): strongest at the silhouette.
add r5.xyz, c10, -r0
dp3 r5.w, r5, r5
rsq r5.w, r5.w
mul r5.xyz, r5, r5.w
dp3 r6.w, r1, r1
rsq r6.w, r6.w
mul r6.xyz, r1, r6.w
dp3 r7.x, r5, r6
max r7.x, r7.x, -r7.x
min r7.x, r7.x, c1.x
add r7.y, c1.x, -r7.x
mov oD0.xyz, c2
mul oD0.w, c2.w, r7.y
