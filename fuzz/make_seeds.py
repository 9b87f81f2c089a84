#!/usr/bin/env python3
"""Writes the seed corpus fuzz/corpus/<module>/: one named call per file, in
the byte format that fuzz_call.cpp decodes. Run from the repository root;
LF_FUZZ_PRINT_CALLS=1 build-fuzz/fuzz/<module>_fuzz <file> shows a decoded seed."""
import os
import struct

NAN, HUGE = 0, 3               # indices into kSpecialScalars
SINGLE, INT32, CHAR = 192, 197, 202   # scalar class bytes
A_SINGLE = 240                 # array class byte
SAME, SHARED = 220, 240        # alias bytes
SHORT = 130                    # array count byte: one element fewer than needed


def fill(stored, mode=2, seed=7, palette=(0, 0, 0, 0)):
    """Element values; nothing is read for an array that stores none."""
    return b'' if stored == 0 else struct.pack('<I', seed) + bytes([mode, *palette])


def scalar(value=None, kind=0, b=0, cls=0, count=0, extra=b''):
    """A scalar input: small integers by default (kind 0 reads b % 16)."""
    if value is not None:
        kind, b = 0, value
    n = 0 if 224 <= count < 240 else 1
    return bytes([cls, count, kind, b]) + extra + fill(n, mode=0)


def raw(x, **kw):
    return scalar(kind=14, extra=struct.pack('<d', x), **kw)


def eighths(k):
    return scalar(kind=15, b=k & 0xFF)


def array(stored, mode=2, cls=0, count=0, alias=None, other=0, palette=(0, 0, 0, 0)):
    """A source or written array; `stored` must be what the decoder will make."""
    head = bytes([0])          # the unused random count of a non-sized input
    if alias is not None:
        return head + bytes([alias, other])
    return head + bytes([0, cls, count]) + fill(stored, mode, palette=palette)


def sparse(m, n, stored):
    """A sparse double array of m*1000+1 by n*1000+1 that stores a few elements."""
    return bytes([0, 0, 216, 0, m, n, stored]) + fill(stored)


def ignored():
    return bytes([0, 1]) + scalar(5)


def call(*inputs, lhs=0, rhs=0, scalars=()):
    """Scalars are decoded first, then the other inputs in order."""
    return bytes([lhs, rhs]) + b''.join(scalars) + b''.join(inputs)


def olmarin():
    def ok(cols, rows, C, D, alpha, **kw):
        n, m = rows * C * cols * C * 3, rows * cols * 3
        src = kw.pop('src', array(n))
        dst = kw.pop('dst', array(n, mode=6))
        img = kw.pop('img', array(m, mode=7))
        sizes = kw.pop('sizes', [scalar(cols), scalar(rows), scalar(C), scalar(D)])
        return call(src, dst, img, scalars=sizes + [alpha], **kw)
    return {
        'valid_fraction': ok(4, 3, 3, 1, eighths(3)),
        'valid_negative': ok(5, 4, 5, 2, raw(-1.25)),
        'valid_whole_pixels': ok(4, 4, 3, 1, eighths(16)),
        'valid_zero_shift': ok(3, 2, 3, 1, eighths(0)),
        'valid_nan_alpha': ok(3, 3, 3, 1, scalar(kind=12, b=NAN)),
        'valid_huge_alpha': ok(3, 3, 3, 1, scalar(kind=12, b=HUGE)),
        'valid_wide_block': ok(3, 2, 7, 2, raw(0.37)),
        'valid_single_view': ok(4, 3, 1, 0, raw(0.6)),
        'valid_no_rows': ok(4, 0, 3, 1, eighths(4)),
        'valid_one_output': ok(3, 3, 3, 1, eighths(5), lhs=170),
        'two_outputs': ok(3, 3, 3, 1, eighths(5), lhs=230),
        'wrong_input_count': ok(3, 3, 3, 1, eighths(5), rhs=231),
        'block_too_small': ok(3, 3, 2, 1, eighths(5)),
        'source_one_short': ok(3, 3, 3, 1, eighths(5), src=array(242, count=SHORT)),
        'single_image': ok(3, 3, 3, 1, eighths(5), img=array(27, cls=A_SINGLE)),
        'sparse_source': ok(3, 3, 3, 1, eighths(5), src=sparse(3, 3, 2)),
        'destination_is_source': ok(3, 3, 3, 1, eighths(5), dst=array(0, alias=SAME)),
        'destination_copy_of_source': ok(3, 3, 3, 1, eighths(5), dst=array(0, alias=SHARED)),
        'empty_alpha': ok(3, 3, 3, 1, scalar(kind=15, b=4, count=226)),
        'int32_sizes': ok(3, 3, 3, 1, eighths(3), sizes=[scalar(3, cls=INT32)] * 3 + [scalar(1, cls=INT32)]),
        'char_size': ok(3, 3, 3, 1, eighths(3), sizes=[scalar(3, cls=CHAR), scalar(3), scalar(3), scalar(1)]),
        'fractional_size': ok(3, 3, 3, 1, eighths(3),
                              sizes=[scalar(kind=9, b=3, extra=bytes([230])), scalar(3), scalar(3), scalar(1)]),
        'wrapped_size': ok(3, 3, 3, 1, eighths(3), sizes=[scalar(kind=11, b=0x33), scalar(3), scalar(3), scalar(1)]),
    }


# Palettes index kSpecialSamples: 3 = -0.4, 8 = 2.5, 9 = 2.4999999999 and
# 15 = 255.49999 bin under both rules; 16 = 255.5, 19 = 256, 20 = -1 and
# 24 = NaN do not (255.5 only for varnel).
def entropy(name, maps, source_at):
    """varnel: ignored, ignored, source, map; tressik: ignored, source, ignored, maps.
    Aliases name earlier non-scalar inputs by their order among them."""
    def ok(cols, rows, C, mode=0, palette=(0, 0, 0, 0), src=None, written=None, **kw):
        n = max(rows, 0) * max(C, 0) * max(cols, 0) * max(C, 0) * 3
        m = max(rows, 0) * max(cols, 0)
        src = src(n) if src else array(n, mode=mode, palette=palette)
        written = written(m) if written else [array(m, mode=6) for _ in range(maps)]
        inputs = [ignored(), ignored()]
        inputs.insert(source_at, src)
        sizes = kw.pop('sizes', [scalar(cols), scalar(rows), scalar(C)])
        return call(*inputs, *written, scalars=sizes, **kw)
    seeds = {
        'valid_integers': ok(3, 2, 3),
        'valid_fractions': ok(2, 3, 2, mode=2),
        'valid_bin_edges': ok(2, 2, 3, mode=3, palette=(3, 8, 9, 15)),
        'valid_single_sample': ok(4, 3, 1),
        'valid_no_rows': ok(3, 0, 3),
        'valid_one_output': ok(2, 2, 2, lhs=170),
        'two_outputs': ok(2, 2, 2, lhs=230),
        'wrong_input_count': ok(2, 2, 2, rhs=231),
        'sample_out_of_range': ok(2, 2, 3, mode=3, palette=(16, 19, 24, 20)),
        'source_one_short': ok(2, 2, 2, src=lambda n: array(n - 1, count=SHORT)),
        'single_source': ok(2, 2, 2, src=lambda n: array(n, cls=A_SINGLE)),
        'map_is_source': ok(2, 2, 2, written=lambda m: [array(0, alias=SAME, other=source_at)] +
                            [array(m, mode=6) for _ in range(maps - 1)]),
        'char_size': ok(2, 2, 2, sizes=[scalar(2, cls=CHAR), scalar(2), scalar(2)]),
        'empty_size': ok(2, 2, 2, sizes=[scalar(2), scalar(2, count=226), scalar(2)]),
    }
    if name == 'varnel':
        seeds['valid_negative_block'] = ok(3, 2, 0, sizes=[scalar(3), scalar(2), scalar(kind=10, b=3)])
        seeds['valid_nan_block'] = ok(3, 2, 0, sizes=[scalar(3), scalar(2), scalar(kind=12, b=NAN)])
    else:
        seeds['maps_shared'] = ok(2, 2, 2, written=lambda m: [array(m, mode=6), array(0, alias=SHARED, other=3),
                                                             array(m)])
    return seeds


# lf_entropy_sweep decodes its own calls (lf_entropy_sweep_fuzz.cpp): a shape
# byte (bit 0: the option given, bits 1-2: outputs; 0x1E set: bits 5-7 are
# the input count), then R's kind, C (an index into kSizes), rows, cols, its
# samples, C's kind, the shifts' kind and count, the shifts, the option.
SWEEP_SIZES = {3: 0, 1: 1, 5: 2, 7: 5, 2: 6, 9: 13}
SWEEP_SHIFTS = {0.0: 0, -0.37: 1, 1.0: 2, -2.0: 3, 0.5: 4, 7.25: 5, -1e3: 6, 1e300: 7, 'nan': 8, 'inf': 9,
                3e8: 12, 'third': 13}
SWEEP_THREADS = {1: 0, 2: 1, 3: 2, 0: 3, 1.5: 4}


def sweep_call(C=3, rows=2, cols=3, shifts=(0.0, 0.5, 'third'), outputs=1, threads=None, r_kind=0,
               samples=None, c_kind=0, s_kind=None, option=0, count=None):
    """samples: None for ordinary ones, else a list of kSamples indices, one per sample."""
    shape = (outputs << 1) | (threads is not None)
    if count is not None:
        shape = 0x1E | (count << 5)
    head = bytes([shape, r_kind, SWEEP_SIZES[C], rows, cols])
    dims = [rows * C, cols * C, 3]
    if r_kind % 11 == 1:
        dims[2] = 2
    elif r_kind % 11 == 2:
        dims.append(2)
    elif r_kind % 11 == 3:
        dims[0] += 1
    elif r_kind % 11 == 4:
        dims.pop()
    numel = 1
    for d in dims:
        numel *= d
    body = b''
    if r_kind % 13 not in (5, 6):
        if samples is None:
            body = bytes([200]) + bytes((7 * i + 3) % 256 for i in range(numel))
        else:
            body = bytes([0]) + b''.join(bytes([0, k]) for k in samples)
    if s_kind is None:
        s_kind = len(shifts)
    tail = bytes([c_kind, s_kind]) + b''.join(bytes([0, SWEEP_SHIFTS[x]]) for x in shifts)
    if threads is not None:
        tail += bytes([option, SWEEP_THREADS[threads]])
    return head + body + tail


def lf_entropy_sweep():
    out_of_range = [2, 3, 0, 7] * 7  # kSamples: 255.49, 255.5, 0, NaN
    return {
        'valid_three_shifts': sweep_call(),
        'valid_images_two_threads': sweep_call(outputs=2, threads=2),
        'valid_single_view': sweep_call(C=1, rows=4, cols=3, shifts=(-0.37, 7.25)),
        'valid_wide_block': sweep_call(C=7, rows=2, cols=2, shifts=(0.5, -2.0), threads=3),
        'valid_far_shifts': sweep_call(C=5, rows=3, cols=2, shifts=(-1e3, 1e300, 3e8, 0.0), outputs=2),
        'valid_no_rows': sweep_call(rows=0, outputs=2),
        'valid_no_shifts': sweep_call(shifts=()),
        'valid_no_outputs': sweep_call(outputs=0, threads=1),
        'nan_shift': sweep_call(shifts=(0.5, 'nan')),
        'infinite_shift': sweep_call(shifts=('inf',), outputs=2),
        'sample_out_of_range': sweep_call(rows=1, cols=1, samples=out_of_range[:27], shifts=(0.0, 1.0)),
        'wrong_input_count': sweep_call(count=4),
        'three_outputs': sweep_call(outputs=3),
        'single_source': sweep_call(r_kind=5),
        'complex_source': sweep_call(r_kind=7),
        'two_planes': sweep_call(r_kind=1),
        'four_dimensions': sweep_call(r_kind=2),
        'size_not_multiple': sweep_call(r_kind=3),
        'empty_angular_size': sweep_call(c_kind=1),
        'two_angular_sizes': sweep_call(c_kind=2),
        'even_angular_size': sweep_call(C=2),
        'matrix_shifts': sweep_call(s_kind=5, shifts=(0.0, 0.5, 1.0, -2.0)),
        'single_shifts': sweep_call(s_kind=12),
        'option_misspelt': sweep_call(threads=2, option=3),
        'option_not_text': sweep_call(threads=2, option=6),
        'zero_threads': sweep_call(threads=0),
        'fractional_threads': sweep_call(threads=1.5),
    }


def guided_filter():
    """Calls in the byte format of lf_guided_filter_fuzz.cpp: shape, P, G, then
    the radius and epsilon kinds and their table indices."""
    def values(n, step, special_at=()):
        if not special_at:
            return bytes([200]) + bytes((i * step) % 251 for i in range(n))
        # Special mode: each element a selector byte (below 24: a table value).
        return bytes([0]) + b''.join(bytes([0, 0]) if i in special_at else bytes([200, (i * step) % 251])
                                     for i in range(n))

    def ok(rows, cols, slices, r=2, e=1, shape=0x10, p_kind=0, g_kind=0, r_kind=0, e_kind=0, nan_cost=(),
           nan_guide=()):
        stored = 1 if slices == 1 else slices
        p = values(rows * cols * stored, 37, nan_cost) if p_kind % 13 not in (5, 6) else b''
        g = values(rows * cols, 53, nan_guide) if g_kind % 13 != 5 else b''
        return bytes([shape, p_kind, rows, cols, slices]) + p + bytes([g_kind]) + g + bytes([r_kind, e_kind, r, e])

    return {
        'valid_5x6x3_r2': ok(5, 6, 3),
        'valid_one_pixel': ok(1, 1, 2, r=1, e=0),
        'valid_one_row': ok(1, 6, 1, r=3),
        'valid_radius_0': ok(4, 4, 2, r=0),
        'valid_radius_huge': ok(3, 5, 2, r=8),
        'valid_nan_cost': ok(6, 6, 2, r=1, nan_cost=(9,)),
        'valid_empty': ok(0, 3, 2),
        'input_count': ok(3, 3, 1, shape=0x6F),
        'output_count': ok(3, 3, 1, shape=0x70),
        'single_costs': ok(3, 3, 2, p_kind=5),
        'four_dimensions': ok(3, 3, 2, p_kind=1),
        'guide_transposed': ok(3, 4, 1, g_kind=1),
        'guide_nan': ok(3, 4, 1, nan_guide=(5,)),
        'radius_negative': ok(3, 3, 1, r=9),
        'radius_two_elements': ok(3, 3, 1, r_kind=2),
        'radius_empty': ok(3, 3, 1, r_kind=1),
        'epsilon_zero': ok(3, 3, 1, e=7),
    }


if __name__ == '__main__':
    for module, seeds in (('olmarin', olmarin()), ('varnel', entropy('varnel', 1, 2)),
                          ('tressik', entropy('tressik', 3, 1)), ('lf_entropy_sweep', lf_entropy_sweep()),
                          ('lf_guided_filter', guided_filter())):
        folder = os.path.join('fuzz', 'corpus', module)
        os.makedirs(folder, exist_ok=True)
        for name, data in seeds.items():
            with open(os.path.join(folder, name), 'wb') as f:
                f.write(data)
