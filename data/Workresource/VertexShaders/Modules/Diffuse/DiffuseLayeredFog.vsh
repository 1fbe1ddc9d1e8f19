// Layered fog factor F (1 clear, 0 fogged): the distance layer
// clamp(c4.x |p - eye| + c4.y) with the eye c51, times the height layer
// clamp(c4.z h + c4.w) with the world height h = (p, 1).c52. A layer that is
// off has (0, 1) and gives 1.
// oD0 = (c2.rgb, c2.a x (1 - F)): the fog drawn over the surface.
add r5.xyz, r0, -c51
dp3 r5.x, r5, r5
rsq r5.y, r5.x
mul r5.x, r5.x, r5.y
mad r5.x, r5.x, c4.x, c4.y
dp4 r6.x, r0, c52
mad r5.y, r6.x, c4.z, c4.w
max r5.xy, r5, c0.x
min r5.xy, r5, c1.x
mul r5.x, r5.x, r5.y
add r5.x, c1.x, -r5.x
mov oD0.xyz, c2
mul oD0.w, c2.w, r5.x
