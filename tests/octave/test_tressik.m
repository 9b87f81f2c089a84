% Module tests of tressik in the host: exact bits of the three maps against
% the literal steps, every error id, rejected calls leaving the caller's arrays
% alone, ignored inputs, 16-bit sizes, olmarin's output as a source, and the
% agreement with varnel's mean on whole-number samples.
function test_tressik()
  h = lf_test_helpers();
  rand('state', 1208);
  counts(h);
  exact_bits(h);
  rejected_samples(h);
  rejected_arguments(h);
  ignored_inputs(h);
  sizes(h);
  refocused_source(h);
  printf('test_tressik: passed\n');
end

function E = reference_maps(S, rows, cols, C)
  E = double(angular_entropy_reference(S, rows, cols, C, 'truncate'));
end

% Runs tressik into three fresh maps and returns them as rows x cols x 3.
function E = run_tressik(S, rows, cols, C)
  m0 = zeros(rows, cols); m1 = zeros(rows, cols); m2 = zeros(rows, cols);
  tressik(cols, rows, C, 0, S, 0, m0, m1, m2);
  E = cat(3, m0, m1, m2);
end

function counts(h)
  S = zeros(2, 2, 3);
  a = zeros(1); b = zeros(1); c = zeros(1);
  args = {1, 1, 2, 0, S, 0, a, b, c, 0, 0};
  for n = [0 1 7 8 10 11]
    h.expect_error('tressik:inputCount', @() tressik(args{1:n}), 'Nine input arguments required.');
  end
  h.expect_error('tressik:inputCount', @() two_outputs(args{1:8}), 'Nine input arguments required.');
  h.expect_error('tressik:outputCount', @() two_outputs(args{1:9}), 'Too many output arguments.');
  S(:, :, 2) = [10 20; 20 10];
  try
    x = tressik(1, 1, 2, 0, S, 0, a, b, c);
  catch e
    h.check(isempty(strfind(e.identifier, 'tressik:')), 'one output rejected: %s', e.message);
  end
  h.check(abs(b - log(2)) < 1e-6 && a == 0 && c == 0, 'one output: maps not written');
end

function two_outputs(varargin)
  [x, y] = tressik(varargin{:});
end

function exact_bits(h)
  rows = 60; cols = 70; C = 9;
  integers = randi([0 255], rows * C, cols * C, 3);
  S = rand(rows * C, cols * C, 3) * 256.99 - 0.99;
  k = randi([0 254], size(S));
  pick = randi(4, size(S));
  S(pick == 1) = k(pick == 1) + 0.9999999999;   % narrows to k + 1 first
  S(pick == 2) = k(pick == 2);
  S(pick == 3 & k == 0) = -0.9;
  sources = {integers, S};
  names = {'integer samples', 'fractional samples'};
  for t = 1:2
    h.same_bits(run_tressik(sources{t}, rows, cols, C), reference_maps(sources{t}, rows, cols, C), names{t});
  end
  % On whole numbers both rules bin alike: varnel's mean is made of these maps.
  E = run_tressik(integers, rows, cols, C);
  m = zeros(rows, cols);
  varnel(cols, rows, C, 0, 0, integers, m);
  e = single(E);
  h.same_bits(m, double((e(:, :, 1) + e(:, :, 2)) + e(:, :, 3)) / 3, 'varnel mean of tressik maps');
  % Truncation: 2.9 with 2, 255.9 with 255, -0.9 with 0, 2.9999999999 with 3.
  S = cat(3, [2.9 2; 2.1 2.5], [255.9 255; 255.2 255.999], [-0.9 0; 0.5 0.99]);
  E = run_tressik(S, 1, 1, 2);
  h.same_bits(E, -zeros(1, 1, 3), 'one bin per plane');
  E = run_tressik(cat(3, [2.9999999999 3; 3 3], [2.9999999999 2.9; 2.9 2.9], zeros(2)), 1, 1, 2);
  h.check(E(1) == 0 && abs(E(2) - 0.562335) < 1e-6, 'narrowing before truncation: %.9g %.9g', E(1), E(2));
end

function rejected_samples(h)
  rows = 2; cols = 3; C = 4;
  base = rand(rows * C, cols * C, 3) * 255;
  cases = {256, -1, NaN, Inf, -1e300, 256 - 2^-17, -(1 - 2^-25)};
  ats = [1 17 50 96 100 200 288];
  for t = 1:numel(cases)
    S = base;
    S(ats(t)) = cases{t};
    kept = S;
    kept(1) = kept(1);
    maps = {repmat(3, rows, cols), repmat(4, rows, cols), repmat(5, rows, cols)};
    [i, j, k] = ind2sub(size(S), ats(t));
    place = sprintf('got %s at element %d (pixel (%d, %d), angular sample (%d, %d), plane %d; 1-based).', ...
                    sprintf('%.17g', cases{t}), ats(t), floor((i - 1) / C) + 1, floor((j - 1) / C) + 1, ...
                    mod(i - 1, C) + 1, mod(j - 1, C) + 1, k);
    h.expect_error('tressik:sampleOutOfRange', ...
                   @() tressik(cols, rows, C, 0, S, 0, maps{1}, maps{2}, maps{3}), place);
    for p = 1:3
      h.same_bits(maps{p}, repmat(p + 2, rows, cols), sprintf('map %d after rejecting %g', p, cases{t}));
    end
    h.same_bits(S, kept, sprintf('source after rejecting %g', cases{t}));
  end
  % Just inside both ends: accepted.
  S = base;
  S(5) = 256 - 2^-17 - 2^-40;
  S(6) = -(1 - 2^-25) + 2^-50;
  h.same_bits(run_tressik(S, rows, cols, C), reference_maps(S, rows, cols, C), 'samples at the range ends');
end

function rejected_arguments(h)
  S = zeros(6, 6, 3);
  m = repmat(5, 2, 2);
  n = zeros(2); o = zeros(2);
  cases = {
    'tressik:arrayTooSmall', {2, 2, 3, 0, S, 0, m, n, zeros(3, 1)}
    'tressik:arrayTooSmall', {2, 2, 3, 0, zeros(6, 5, 3), 0, m, n, o}
    'tressik:badArray',      {2, 2, 3, 0, S, 0, m, int32(n), o}
    'tressik:badArray',      {2, 2, 3, 0, single(S), 0, m, n, o}
    'tressik:badArray',      {2, 2, 3, 0, S, 0, 'ab', n, o}
    'tressik:sharedData',    {2, 2, 3, 0, S, 0, m, n, S}
    'tressik:sharedData',    {2, 2, 3, 0, S, 0, m, m, o}
    'tressik:emptyScalar',   {2, zeros(1, 0), 3, 0, S, 0, m, n, o}
    'tressik:badScalar',     {{2}, 2, 3, 0, S, 0, m, n, o}
  };
  for t = 1:size(cases, 1)
    h.expect_error(cases{t, 1}, @() tressik(cases{t, 2}{:}));
  end
  copy = n;
  h.expect_error('tressik:sharedData', @() tressik(2, 2, 3, 0, S, 0, m, n, copy));
  % 16-bit sizes: -1 is 65535, far beyond the arrays.
  h.expect_error('tressik:arrayTooSmall', @() tressik(2, 2, -1, 0, S, 0, m, n, o));
  h.same_bits(m, repmat(5, 2, 2), 'map after rejected calls');
  h.check(all(n(:) == 0) && all(o(:) == 0) && all(S(:) == 0), 'arrays changed by rejected calls');
end

function ignored_inputs(h)
  rows = 4; cols = 5; C = 3;
  S = randi([0 255], rows * C, cols * C, 3);
  want = reference_maps(S, rows, cols, C);
  anything = {{}, struct('a', 1), 'text', [], {1, 2}, @sin, int8(-5), NaN, single(1e30), zeros(0, 3), true};
  for t = 1:numel(anything)
    m0 = zeros(rows, cols); m1 = zeros(rows, cols); m2 = zeros(rows, cols);
    tressik(cols, rows, C, anything{t}, S, anything{end + 1 - t}, m0, m1, m2);
    h.same_bits(cat(3, m0, m1, m2), want, sprintf('ignored inputs, case %d', t));
  end
end

function sizes(h)
  S = randi([0 255], 9, 12, 3);
  want = reference_maps(S, 3, 4, 3);
  % Truncation toward zero, then the low 16 bits.
  forms = {{4.9, 3.99, 3}, {65536 + 4, 3, 2^32 + 3}, {[4 0], uint16(3), int8(3)}};
  for t = 1:numel(forms)
    m0 = zeros(3, 4); m1 = zeros(3, 4); m2 = zeros(3, 4);
    tressik(forms{t}{1}, forms{t}{2}, forms{t}{3}, 0, S, 0, m0, m1, m2);
    h.same_bits(cat(3, m0, m1, m2), want, sprintf('size form %d', t));
  end
  % C = 0 (also NaN and 65536): every element negative zero.
  for C = [0 NaN 65536]
    m0 = repmat(9, 3, 4); m1 = repmat(9, 3, 4); m2 = repmat(9, 3, 4);
    tressik(4, 3, C, 0, zeros(0, 0), 0, m0, m1, m2);
    h.same_bits(cat(3, m0, m1, m2), -zeros(3, 4, 3), sprintf('C = %g', C));
  end
  for rc = {[0 4], [3 0], [65536 4]}
    m0 = repmat(9, 3, 4); m1 = repmat(9, 3, 4); m2 = repmat(9, 3, 4);
    tressik(rc{1}(2), rc{1}(1), 3, 0, zeros(0, 0), 0, m0, m1, m2);
    h.same_bits(cat(3, m0, m1, m2), repmat(9, 3, 4, 3), sprintf('rows %g cols %g', rc{1}(1), rc{1}(2)));
  end
end

function refocused_source(h)
  rows = 60; cols = 70; C = 9; D = 4;
  S = randi([0 255], rows * C, cols * C, 3);
  T = zeros(size(S));
  I = zeros(rows, cols, 3);
  olmarin(cols, rows, C, D, S, T, I, -0.61);
  h.check(any(T(:) ~= round(T(:))), 'refocused samples should not all be whole');
  h.same_bits(run_tressik(T, rows, cols, C), reference_maps(T, rows, cols, C), 'refocused source');
end
