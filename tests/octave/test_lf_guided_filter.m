% lf_guided_filter in the real host: results within rounding of the filter's
% formulas written as m-code (the kernel test compares the bits), and every
% error identifier.
function test_lf_guided_filter()
  rand('seed', 5);
  check_against_definition();
  check_errors();
  disp('test_lf_guided_filter: all checks passed');
end

% The formulas with box means by convolution; a non-finite cost counts as 0
% and spoils the pixels within twice the radius.
function Q = definition(P, G, r, epsilon)
  [h, w] = size(G);
  k = ones(2 * min(r, max(h, w)) + 1, 1);
  box = @(x) conv2(k, k, x, 'same') ./ conv2(k, k, ones(h, w), 'same');
  mI = box(G);
  vI = max(box(G .* G) - mI .* mI, 0);
  Q = zeros(size(P));
  for s = 1:size(P, 3)
    bad = ~isfinite(P(:, :, s));
    p = P(:, :, s);
    p(bad) = 0;
    mP = box(p);
    a = (box(G .* p) - mI .* mP) ./ (vI + epsilon);
    b = mP - a .* mI;
    q = box(a) .* G + box(b);
    k2 = ones(2 * min(2 * r, max(h, w)) + 1, 1);
    q(conv2(k2, k2, double(bad), 'same') > 0.5) = NaN;
    Q(:, :, s) = q;
  end
end

function check_against_definition()
  grey = @(h, w) round(rand(h, w) * 255);
  edge = @(h, w) [zeros(h, floor(w / 2)), 200 * ones(h, w - floor(w / 2))] + rand(h, w);
  % rows, cols, slices, radius, epsilon, guide, non-finite costs (linear index, value)
  cases = {
    1,  1,  3, 2,        650,     grey,                 {}
    1,  37, 2, 3,        650,     grey,                 {}
    41, 1,  2, 3,        650,     grey,                 {}
    17, 13, 1, 1,        1e-3,    @(h, w) rand(h, w),   {}
    33, 29, 6, 4,        6.5,     grey,                 {}
    12, 15, 3, 40,       650,     grey,                 {}
    20, 24, 2, 3,        1,       edge,                 {}
    11, 10, 2, 3,        0.01,    @(h, w) 85 * ones(h, w), {}
    25, 23, 3, 2,        650,     grey,                 {200, NaN; 25 * 23 + 9, Inf}
    10, 10, 1, int8(1),  single(100), grey,             {44, -Inf}
    8,  9,  0, 2,        650,     grey,                 {}
  };
  for n = 1:rows(cases)
    [h, w, S, r, epsilon, guide, holes] = cases{n, :};
    G = guide(h, w);
    P = rand(h, w, S) * 4.4;
    for k = 1:rows(holes)
      P(holes{k, 1}) = holes{k, 2};
    end
    Q = lf_guided_filter(P, G, r, epsilon);
    want = definition(P, G, double(r), double(epsilon));
    assert(isequal(size(Q), size(P)) && isa(Q, 'double'), 'case %d: Q is %s, want %s', n, mat2str(size(Q)), mat2str(size(P)));
    assert(isequal(isnan(Q), isnan(want)), 'case %d: NaN where the definition has none, or none where it has', n);
    q = Q(:); d = want(:); keep = ~isnan(d);
    err = max([0; abs(q(keep) - d(keep))]);
    assert(err <= 1e-9 * max([1; abs(d(keep))]), 'case %d: off the definition by %g', n, err);
  end
  % Radius 0: every window is one pixel, a is 0 and b the cost itself.
  P = rand(7, 6, 4);
  assert(isequal(lf_guided_filter(P, grey(7, 6), 0, 1e-6), P), 'radius 0 changed the costs');
  % A constant cost stays constant, whatever the guide.
  Q = lf_guided_filter(2.5 * ones(15, 12, 2), edge(15, 12), 3, 0.01);
  assert(max(abs(Q(:) - 2.5)) < 1e-12, 'a constant cost moved by %g', max(abs(Q(:) - 2.5)));
  % An edge in the guide holds an edge in the cost; a plain box blurs it.
  P = [ones(12, 8), 3 * ones(12, 8)];
  Q = lf_guided_filter(P, edge(12, 16), 3, 1);
  assert(max(abs(Q(:) - P(:))) < 0.05, 'the guide''s edge was blurred by %g', max(abs(Q(:) - P(:))));
end

function check_errors()
  h = lf_test_helpers();
  P = rand(6, 5, 2); G = rand(6, 5);
  id = @(kind) ['lf_guided_filter:' kind];
  call = @(varargin) @() lf_guided_filter(varargin{:});
  rows_of_errors = {
    'inputCount',  call(P, G, 1),                 'expected 4 inputs (P, G, radius, epsilon), got 3.'
    'inputCount',  call(P, G, 1, 1, 1),           'expected 4 inputs (P, G, radius, epsilon), got 5.'
    'badArray',    call(single(P), G, 1, 1),      'input 1 (P) must be a real full double array, got a single array.'
    'badArray',    call(complex(P, P), G, 1, 1),  'input 1 (P) must be a real full double array, got a complex double array.'
    'badArray',    call(sparse(G), G, 1, 1),      'input 1 (P) must be a real full double array, got a sparse double array.'
    'badArray',    call(P, uint8(G), 1, 1),       'input 2 (G) must be a real full double array, got a uint8 array.'
    'badArray',    call(P, {G}, 1, 1),            'input 2 (G) must be a real full double array, got a cell array.'
    'badSize',     call(rand(6, 5, 2, 2), G, 1, 1), 'input 1 (P) must be rows x cols x S, got an array of 4 dimensions.'
    'badSize',     call(P, G', 1, 1),             'input 2 (G) must be 6 x 5 (the rows and columns of P), got 5 x 6.'
    'badSize',     call(P, P, 1, 1),              'input 2 (G) must be 6 x 5 (the rows and columns of P), got 6 x 5 x ....'
    'nonFinite',   call(P, [G(:, 1:3), [G(1:3, 4); NaN; G(5:6, 4)], G(:, 5)], 1, 1), ...
                   'input 2 (G) must hold finite values, got NaN at row 4, column 4 (1-based).'
    'nonFinite',   call(P, [G(1:5, :); -Inf, G(6, 2:5)], 1, 1), ...
                   'input 2 (G) must hold finite values, got -Inf at row 6, column 1 (1-based).'
    'badScalar',   call(P, G, [1 2], 1),          'input 3 (radius) must be one number, got 2 elements.'
    'badScalar',   call(P, G, 'a', 1),            'input 3 (radius) must be a real numeric or logical scalar, got a char array.'
    'badScalar',   call(P, G, 1, {1}),            'input 4 (epsilon) must be a real numeric or logical scalar, got a cell array.'
    'emptyScalar', call(P, G, [], 1),             'input 3 (radius) must hold at least one element, got an empty double array.'
    'badRadius',   call(P, G, -1, 1),             'input 3 (radius) must be a finite whole number of at least 0, got -1.'
    'badRadius',   call(P, G, 1.5, 1),            'input 3 (radius) must be a finite whole number of at least 0, got 1.5.'
    'badRadius',   call(P, G, NaN, 1),            'input 3 (radius) must be a finite whole number of at least 0, got NaN.'
    'badRadius',   call(P, G, Inf, 1),            'input 3 (radius) must be a finite whole number of at least 0, got Inf.'
    'badEpsilon',  call(P, G, 1, 0),              'input 4 (epsilon) must be a finite number above 0, got 0.'
    'badEpsilon',  call(P, G, 1, -2),             'input 4 (epsilon) must be a finite number above 0, got -2.'
    'badEpsilon',  call(P, G, 1, NaN),            'input 4 (epsilon) must be a finite number above 0, got NaN.'
    'badEpsilon',  call(P, G, 1, Inf),            'input 4 (epsilon) must be a finite number above 0, got Inf.'
  };
  before = h.snapshot(P, G);
  for n = 1:rows(rows_of_errors)
    h.expect_error(id(rows_of_errors{n, 1}), rows_of_errors{n, 2}, ['lf_guided_filter: ' rows_of_errors{n, 3}]);
  end
  try
    [a, b] = lf_guided_filter(P, G, 1, 1);
    error('no error for two outputs');
  catch err
    assert(strcmp(err.identifier, id('outputCount')), err.identifier);
  end
  assert(isequal(h.snapshot(P, G), before), 'a rejected call changed an input');
  % Huge radii and any numeric class are accepted: every window is then the whole image.
  assert(isequal(lf_guided_filter(P, G, 1e300, 1), lf_guided_filter(P, G, uint16(9), true)), 'a huge radius differs');
end
