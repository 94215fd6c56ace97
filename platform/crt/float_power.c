/* powf for single-precision arguments, computed in double: log2 of the base from a table
   and a short series, the power of two from a table and a short series. Its error (about
   1e-14 of the result before the final rounding) is far below half a float's last place, so
   it gives the correctly rounded float but where the exact power lies within about 1e-13 of
   halfway between two floats. Arguments outside the plain range (a base that is not a
   positive normal number, a result that would leave the normal floats, NaN or infinity
   anywhere) go to the double pow, for its C semantics.

   The series are evaluated as sums of independent products rather than one chain, so that
   the processor overlaps them: the voices call this once per slot and block. */
#include "crt/float_power.h"

#include <math.h>
#include <stdint.h>
#include <string.h>

/* The bases 0.748046875 to 1.49609375 (float bits 0x3f3f8000 on) in 128 steps of 2^16 ulps:
   per step 1/c for a c inside it, and -log2 of that 1/c. The step around 1 takes c = 1
   exactly, so that a base near 1 loses nothing to cancellation (1^y is exactly 1, and a
   large y on a base near 1 keeps the logarithm's relative precision). */
static const double kLogSteps[128][2] = {
    {0x1.5555555555555p+0, -0x1.a8ff971810a5dp-2},
    {0x1.5390948f40febp+0, -0x1.a152f142981b5p-2},
    {0x1.51d07eae2f815p+0, -0x1.99b072a96c6b2p-2},
    {0x1.5015015015015p+0, -0x1.921800924dd3bp-2},
    {0x1.4e5e0a72f0539p+0, -0x1.8a8980abfbd30p-2},
    {0x1.4cab88725af6ep+0, -0x1.8304d90c11fd1p-2},
    {0x1.4afd6a052bf5bp+0, -0x1.7b89f02cf2aafp-2},
    {0x1.49539e3b2d067p+0, -0x1.7418acebbf18fp-2},
    {0x1.47ae147ae147bp+0, -0x1.6cb0f6865c8ebp-2},
    {0x1.460cbc7f5cf9ap+0, -0x1.6552b49986277p-2},
    {0x1.446f86562d9fbp+0, -0x1.5dfdcf1eeae0fp-2},
    {0x1.42d6625d51f87p+0, -0x1.56b22e6b578e5p-2},
    {0x1.4141414141414p+0, -0x1.4f6fbb2cec598p-2},
    {0x1.3fb013fb013fbp+0, -0x1.48365e695d797p-2},
    {0x1.3e22cbce4a902p+0, -0x1.4106017c3eca0p-2},
    {0x1.3c995a47babe7p+0, -0x1.39de8e1559f6ep-2},
    {0x1.3b13b13b13b14p+0, -0x1.32bfee370ee6ap-2},
    {0x1.3991c2c187f63p+0, -0x1.2baa0c34be1ebp-2},
    {0x1.3813813813814p+0, -0x1.249cd2b13cd6fp-2},
    {0x1.3698df3de0748p+0, -0x1.1d982c9d5270ap-2},
    {0x1.3521cfb2b78c1p+0, -0x1.169c05363f157p-2},
    {0x1.33ae45b57bcb2p+0, -0x1.0fa848044b352p-2},
    {0x1.323e34a2b10bfp+0, -0x1.08bce0d95fa36p-2},
    {0x1.30d190130d190p+0, -0x1.01d9bbcfa61d4p-2},
    {0x1.2f684bda12f68p+0, -0x1.f5fd8a9063e32p-3},
    {0x1.2e025c04b8097p+0, -0x1.e857d3d361368p-3},
    {0x1.2c9fb4d812ca0p+0, -0x1.dac22d3e441d6p-3},
    {0x1.2b404ad012b40p+0, -0x1.cd3c712d31106p-3},
    {0x1.29e4129e4129ep+0, -0x1.bfc67a7fff4cap-3},
    {0x1.288b01288b013p+0, -0x1.b2602497d534ap-3},
    {0x1.27350b8812735p+0, -0x1.a5094b54d2828p-3},
    {0x1.25e22708092f1p+0, -0x1.97c1cb13c7ec0p-3},
    {0x1.2492492492492p+0, -0x1.8a8980abfbd30p-3},
    {0x1.23456789abcdfp+0, -0x1.7d60496cfbb4cp-3},
    {0x1.21fb78121fb78p+0, -0x1.7046031c79f84p-3},
    {0x1.20b470c67c0d9p+0, -0x1.633a8bf437ce6p-3},
    {0x1.1f7047dc11f70p+0, -0x1.563dc29ffacafp-3},
    {0x1.1e2ef3b3fb874p+0, -0x1.494f863b8df32p-3},
    {0x1.1cf06ada2811dp+0, -0x1.3c6fb650cde51p-3},
    {0x1.1bb4a4046ed29p+0, -0x1.2f9e32d5bfdd1p-3},
    {0x1.1a7b9611a7b96p+0, -0x1.22dadc2ab3496p-3},
    {0x1.19453808ca29cp+0, -0x1.162593186da70p-3},
    {0x1.1811811811812p+0, -0x1.097e38ce6064ep-3},
    {0x1.16e0689427379p+0, -0x1.f9c95dc1d1167p-4},
    {0x1.15b1e5f75270dp+0, -0x1.e0b1ae8f2fd56p-4},
    {0x1.1485f0e0acd3bp+0, -0x1.c7b528b70f1bcp-4},
    {0x1.135c81135c811p+0, -0x1.aed391ab6674ap-4},
    {0x1.12358e75d3033p+0, -0x1.960caf9abb7c1p-4},
    {0x1.1111111111111p+0, -0x1.7d60496cfbb4bp-4},
    {0x1.0fef010fef011p+0, -0x1.64ce26c067157p-4},
    {0x1.0ecf56be69c90p+0, -0x1.4c560fe68af8bp-4},
    {0x1.0db20a88f4696p+0, -0x1.33f7cde14cf63p-4},
    {0x1.0c9714fbcda3bp+0, -0x1.1bb32a60054a2p-4},
    {0x1.0b7e6ec259dc8p+0, -0x1.0387efbca86a7p-4},
    {0x1.0a6810a6810a7p+0, -0x1.d6ebd1f1fec14p-5},
    {0x1.0953f39010954p+0, -0x1.a6f9c377dd31dp-5},
    {0x1.0842108421084p+0, -0x1.77394c9d958d0p-5},
    {0x1.073260a47f7c6p+0, -0x1.47aa07357703cp-5},
    {0x1.0624dd2f1a9fcp+0, -0x1.184b8e4c56afcp-5},
    {0x1.05197f7d73404p+0, -0x1.d23afc49139f1p-6},
    {0x1.0410410410410p+0, -0x1.743ee861f353fp-6},
    {0x1.03091b51f5e1ap+0, -0x1.16a21e20a0a29p-6},
    {0x1.0204081020408p+0, -0x1.72c7ba20f731cp-7},
    {0x1.0101010101010p+0, -0x1.720d9c06a8348p-8},
    {0x1.0000000000000p+0, 0x0.0p+0},
    {0x1.fc07f01fc07f0p-1, 0x1.6fe50b6ef085dp-7},
    {0x1.f81f81f81f820p-1, 0x1.6e79685c2d212p-6},
    {0x1.f44659e4a4271p-1, 0x1.11cd1d513341bp-5},
    {0x1.f07c1f07c1f08p-1, 0x1.6bad3758efd81p-5},
    {0x1.ecc07b301ecc0p-1, 0x1.c4dfab90aab6ap-5},
    {0x1.e9131abf0b767p-1, 0x1.0eb389fa29f9dp-4},
    {0x1.e573ac901e574p-1, 0x1.3aa2fdd27f1bfp-4},
    {0x1.e1e1e1e1e1e1ep-1, 0x1.663f6fac91318p-4},
    {0x1.de5d6e3f8868ap-1, 0x1.918a16e46335ep-4},
    {0x1.dae6076b981dbp-1, 0x1.bc84240adabb9p-4},
    {0x1.d77b654b82c34p-1, 0x1.e72ec117fa5adp-4},
    {0x1.d41d41d41d41dp-1, 0x1.08c588cda79e5p-3},
    {0x1.d0cb58f6ec074p-1, 0x1.1dcd197552b7dp-3},
    {0x1.cd85689039b0bp-1, 0x1.32ae9e278ae19p-3},
    {0x1.ca4b3055ee191p-1, 0x1.476a9f983f74dp-3},
    {0x1.c71c71c71c71cp-1, 0x1.5c01a39fbd68bp-3},
    {0x1.c3f8f01c3f8f0p-1, 0x1.70742d4ef0280p-3},
    {0x1.c0e070381c0e0p-1, 0x1.84c2bd02f03b6p-3},
    {0x1.bdd2b899406f7p-1, 0x1.98edd077e70e1p-3},
    {0x1.bacf914c1bad0p-1, 0x1.acf5e2db4ec91p-3},
    {0x1.b7d6c3dda338bp-1, 0x1.c0db6cdd94defp-3},
    {0x1.b4e81b4e81b4fp-1, 0x1.d49ee4c32596cp-3},
    {0x1.b2036406c80d9p-1, 0x1.e840be74e6a4dp-3},
    {0x1.af286bca1af28p-1, 0x1.fbc16b902680dp-3},
    {0x1.ac5701ac5701bp-1, 0x1.0790adbb03009p-2},
    {0x1.a98ef606a63bep-1, 0x1.11307dad30b74p-2},
    {0x1.a6d01a6d01a6dp-1, 0x1.1ac05b291f070p-2},
    {0x1.a41a41a41a41ap-1, 0x1.24407ab0e073ap-2},
    {0x1.a16d3f97a4b02p-1, 0x1.2db10fc4d9aaep-2},
    {0x1.9ec8e951033d9p-1, 0x1.37124cea4cdedp-2},
    {0x1.9c2d14ee4a102p-1, 0x1.406463b1b0448p-2},
    {0x1.999999999999ap-1, 0x1.49a784bcd1b8ap-2},
    {0x1.970e4f80cb872p-1, 0x1.52dbdfc4c96b5p-2},
    {0x1.948b0fcd6e9e0p-1, 0x1.5c01a39fbd689p-2},
    {0x1.920fb49d0e229p-1, 0x1.6518fe4677ba6p-2},
    {0x1.8f9c18f9c18fap-1, 0x1.6e221cd9d0cddp-2},
    {0x1.8d3018d3018d3p-1, 0x1.771d2ba7efb3cp-2},
    {0x1.8acb90f6bf3aap-1, 0x1.800a563161c53p-2},
    {0x1.886e5f0abb04ap-1, 0x1.88e9c72e0b224p-2},
    {0x1.8618618618618p-1, 0x1.91bba891f170ap-2},
    {0x1.83c977ab2beddp-1, 0x1.9a802391e2330p-2},
    {0x1.8181818181818p-1, 0x1.a33760a7f6051p-2},
    {0x1.7f405fd017f40p-1, 0x1.abe18797f1f4ap-2},
    {0x1.7d05f417d05f4p-1, 0x1.b47ebf73882a1p-2},
    {0x1.7ad2208e0ecc3p-1, 0x1.bd0f2e9e79032p-2},
    {0x1.78a4c8178a4c8p-1, 0x1.c592fad295b57p-2},
    {0x1.767dce434a9b1p-1, 0x1.ce0a4923a587dp-2},
    {0x1.745d1745d1746p-1, 0x1.d6753e032ea0ep-2},
    {0x1.724287f46debcp-1, 0x1.ded3fd442364cp-2},
    {0x1.702e05c0b8170p-1, 0x1.e726aa1e754d3p-2},
    {0x1.6e1f76b4337c7p-1, 0x1.ef6d67328e220p-2},
    {0x1.6c16c16c16c17p-1, 0x1.f7a8568cb06cep-2},
    {0x1.6a13cd1537290p-1, 0x1.ffd799a83ff9cp-2},
    {0x1.6816816816817p-1, 0x1.03fda8b97997ep-1},
    {0x1.661ec6a5122f9p-1, 0x1.0809cf27f703dp-1},
    {0x1.642c8590b2164p-1, 0x1.0c10500d63aa7p-1},
    {0x1.623fa77016240p-1, 0x1.10113b153c8eap-1},
    {0x1.6058160581606p-1, 0x1.140c9faa1e543p-1},
    {0x1.5e75bb8d015e7p-1, 0x1.18028cf72976bp-1},
    {0x1.5c9882b931057p-1, 0x1.1bf311e95d00ep-1},
    {0x1.5ac056b015ac0p-1, 0x1.1fde3d30e8127p-1},
    {0x1.58ed2308158edp-1, 0x1.23c41d42727c8p-1},
    {0x1.571ed3c506b3ap-1, 0x1.27a4c0585cbf7p-1},
};

/* 2^(j/64), j = 0..63. */
static const double kExp2Steps[64] = {
    0x1.0000000000000p+0, 0x1.02c9a3e778061p+0, 0x1.059b0d3158574p+0, 0x1.0874518759bc8p+0,
    0x1.0b5586cf9890fp+0, 0x1.0e3ec32d3d1a2p+0, 0x1.11301d0125b51p+0, 0x1.1429aaea92de0p+0,
    0x1.172b83c7d517bp+0, 0x1.1a35beb6fcb75p+0, 0x1.1d4873168b9aap+0, 0x1.2063b88628cd6p+0,
    0x1.2387a6e756238p+0, 0x1.26b4565e27cddp+0, 0x1.29e9df51fdee1p+0, 0x1.2d285a6e4030bp+0,
    0x1.306fe0a31b715p+0, 0x1.33c08b26416ffp+0, 0x1.371a7373aa9cbp+0, 0x1.3a7db34e59ff7p+0,
    0x1.3dea64c123422p+0, 0x1.4160a21f72e2ap+0, 0x1.44e086061892dp+0, 0x1.486a2b5c13cd0p+0,
    0x1.4bfdad5362a27p+0, 0x1.4f9b2769d2ca7p+0, 0x1.5342b569d4f82p+0, 0x1.56f4736b527dap+0,
    0x1.5ab07dd485429p+0, 0x1.5e76f15ad2148p+0, 0x1.6247eb03a5585p+0, 0x1.6623882552225p+0,
    0x1.6a09e667f3bcdp+0, 0x1.6dfb23c651a2fp+0, 0x1.71f75e8ec5f74p+0, 0x1.75feb564267c9p+0,
    0x1.7a11473eb0187p+0, 0x1.7e2f336cf4e62p+0, 0x1.82589994cce13p+0, 0x1.868d99b4492edp+0,
    0x1.8ace5422aa0dbp+0, 0x1.8f1ae99157736p+0, 0x1.93737b0cdc5e5p+0, 0x1.97d829fde4e50p+0,
    0x1.9c49182a3f090p+0, 0x1.a0c667b5de565p+0, 0x1.a5503b23e255dp+0, 0x1.a9e6b5579fdbfp+0,
    0x1.ae89f995ad3adp+0, 0x1.b33a2b84f15fbp+0, 0x1.b7f76f2fb5e47p+0, 0x1.bcc1e904bc1d2p+0,
    0x1.c199bdd85529cp+0, 0x1.c67f12e57d14bp+0, 0x1.cb720dcef9069p+0, 0x1.d072d4a07897cp+0,
    0x1.d5818dcfba487p+0, 0x1.da9e603db3285p+0, 0x1.dfc97337b9b5fp+0, 0x1.e502ee78b3ff6p+0,
    0x1.ea4afa2a490dap+0, 0x1.efa1bee615a27p+0, 0x1.f50765b6e4540p+0, 0x1.fa7c1819e90d8p+0,
};

static const uint32_t kStepBase = 0x3f3f8000u;
static const uint32_t kTenBits = 0x41200000u; /* 10.0f */

float floatPower(float x, float y) {
    uint32_t ix;
    memcpy(&ix, &x, sizeof ix);
    /* Positive normal finite bases only; y finite (checked through t below). */
    if (ix - 0x00800000u >= 0x7f800000u - 0x00800000u) return (float)pow(x, y);

    double log2x;
    if (ix == kTenBits) {
        /* The voices' levels are powers of ten. */
        log2x = 3.3219280948873623479;
    } else {
        const uint32_t offset = ix - kStepBase;
        const int step = (int)((offset >> 16) & 127u);
        const int exponent = (int32_t)offset >> 23;
        const uint32_t iz = ix - (offset & 0xff800000u);
        float zf;
        memcpy(&zf, &iz, sizeof zf);
        /* log(1 + r) for r = z (1/c) - 1, |r| <= 1/256: six terms leave under 1e-15 of it. */
        const double r = (double)zf * kLogSteps[step][0] - 1.0;
        const double r2 = r * r;
        const double series =
            r + r2 * (-1.0 / 2 + r * (1.0 / 3)) + r2 * r2 * (-1.0 / 4 + r * (1.0 / 5) + r2 * (-1.0 / 6));
        log2x = (double)exponent + kLogSteps[step][1] + series * 1.4426950408889634074;
    }
    const double t = (double)y * log2x;
    if (!(fabs(t) < 126.0)) return (float)pow(x, y);

    /* t = n + j/64 + u/ln2 with |u| <= ln2/128: six terms of exp(u) leave under 1e-16. */
    const double shifter = 0x1.8p52;
    const double k = (t * 64.0 + shifter) - shifter;
    const int ki = (int)k;
    const int j = ki & 63;
    const int n = (ki - j) / 64;
    const double u = (t - k * (1.0 / 64)) * 0.69314718055994530942;
    const double u2 = u * u;
    const double e = (1.0 + u) + u2 * (1.0 / 2 + u * (1.0 / 6)) + u2 * u2 * (1.0 / 24 + u * (1.0 / 120));
    uint64_t bits;
    const double table = kExp2Steps[j];
    memcpy(&bits, &table, sizeof bits);
    bits += (uint64_t)(int64_t)n << 52;
    double scale;
    memcpy(&scale, &bits, sizeof scale);
    return (float)(scale * e);
}
