// Attenuated light at c10 with range term c11 and bias c12 = 0.5:
// d = (p - light) x c11 x 0.5 + 0.5; oT0 = d.xy and oT1 = (d.z, 0.5) look up
// the falloff map twice; oT2 = the vector to the light (model space);
// oT3 = lightmap set 2; oD1 = the unit normal biased to 0..1.
add r5.xyz, r0, -c10
mul r6.xyz, r5, c11
mad r6.xyz, r6, c12, c12
mov r6.w, c1.w
mov oT0, r6
mov oT1.x, r6.z
mov oT1.yzw, c12
mov oT2.xyz, -r5
mov oT2.w, c1.w
mul oT3, v5, c94
dp3 r7.w, r1, r1
rsq r7.w, r7.w
mul r7.xyz, r1, r7.w
mad oD1.xyz, r7, c12, c12
mov oD1.w, c1.w
