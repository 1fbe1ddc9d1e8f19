// Water surface. World position from the surface matrix rows c10-c13.
// oT0: bump coordinates, world xz x c14.x drifting by c14.y sin(a) (c14.z);
// oT1: screen position (W = c15 flips y and halves) for the reflection;
// oT2: world xz x the refraction scale c16.z; oT3: fresnel lookup at
// (|V.y| / |V|, distance fade clamp(c18.x |V| + c18.y)) with V from the
// surface to the camera c17. oD0 = vertex colour times c2.
m4x4 r1, v0, c6
mov oPos, r1
dp4 r0.x, v0, c10
dp4 r0.y, v0, c11
dp4 r0.z, v0, c12
mov r0.w, c1.w
mul r2.xy, r0.xz, c14.x
mul r3.x, c14.z, c14.y
add oT0.xy, r2.xy, r3.xx
mov oT0.zw, c21
rcp r3.w, r1.w
mul r2.xy, r1.xy, r3.w
mul r2.xy, r2.xy, c15.xy
mad oT1.xy, r2.xy, c15.w, c15.w
mov oT1.zw, c21
mul oT2.xy, r0.xz, c16.z
mov oT2.zw, c21
add r4.xyz, c17, -r0
dp3 r4.w, r4, r4
rsq r5.w, r4.w
mul r5.x, r4.w, r5.w
mul r6.x, r4.y, r5.w
max oT3.x, r6.x, -r6.x
mad r6.y, r5.x, c18.x, c18.y
max r6.y, r6.y, c0.x
min oT3.y, r6.y, c1.x
mov oT3.zw, c21
mul oD0, v2, c2
