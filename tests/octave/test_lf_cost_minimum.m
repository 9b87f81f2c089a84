% lf_cost_minimum in the real host: the bits of the m-code it replaces in the
% depth sweep, and every error identifier.
function test_lf_cost_minimum()
  addpath(fullfile(fileparts(mfilename('fullpath')), '..', '..', 'matlab'));
  rand('seed', 19);
  check_against_m_code();
  check_errors();
  disp('test_lf_cost_minimum: all checks passed');
end

function check_against_m_code()
  % rows, cols, shifts, levels of the costs (0: any real; few: ties), refine
  cases = {
    31, 27, linspace(-2, 2, 41),               0, true
    31, 27, linspace(-2, 2, 41),               0, false
    20, 22, linspace(-1, 3, 17),               3, true
    15, 13, [0.5 -1 0.25 0.25 2 -0.75 0.5 1],  3, true
    15, 13, [0.5 -1 0.25 0.25 2 -0.75 0.5 1]', 0, true
    6,  7,  0.3,                               0, true
    6,  7,  [0.3 -0.2],                        2, true
    1,  30, linspace(-2, 2, 9),                0, true
    30, 1,  linspace(-2, 2, 9),                4, true
    8,  9,  [-1 0 1 2],                        1, int8(1)
  };
  for k = 1:rows(cases)
    [h, w, shifts, levels, refine] = cases{k, :};
    E = rand(h, w, numel(shifts)) * 4.4;
    if levels > 0
      E = floor(E / 4.4 * levels) * 0.5;
    end
    [d, conf] = lf_cost_minimum(E, shifts, refine);
    [want_d, want_conf] = lf_disparity_from_entropy(E, shifts, logical(refine));
    assert(isequal(size(d), [h w]) && isequal(size(conf), [h w]), 'case %d: maps of size %s', k, mat2str(size(d)));
    assert(isequal(d, want_d), 'case %d: disparity differs from the m-code by %g', k, max(abs(d(:) - want_d(:))));
    assert(isequal(conf, want_conf), 'case %d: confidence differs from the m-code by %g', k, ...
           max(abs(conf(:) - want_conf(:))));
    assert(isequal(lf_cost_minimum(E, shifts, refine), d), 'case %d: one output differs', k);
  end
  assert(isequal(lf_cost_minimum(zeros(0, 4, 3), [1 2 3]), zeros(0, 4)), 'an empty map');
  % With a guide: the minimum of lf_guided_filter's volume, to the bit.
  for setting = {{4, 16, true}, {0, 1, false}, {2, 650, true}}
    [r, epsilon, refine] = setting{1}{:};
    E = rand(33, 29, 17) * 4.4;
    G = round(rand(33, 29) * 255);
    s = linspace(-1, 1, 17);
    [d, conf] = lf_cost_minimum(E, s, refine, G, r, epsilon);
    [want_d, want_conf] = lf_cost_minimum(lf_guided_filter(E, G, r, epsilon), s, refine);
    assert(isequal(d, want_d) && isequal(conf, want_conf), 'radius %d: not the filtered volume''s minimum', r);
  end
  % Costs so large that the filter's sums overflow are refused, not ranked.
  big = ones(5, 6, 3) * 1e308;
  big(2, 2, 2) = -1e308;
  try
    lf_cost_minimum(big, [0 1 2], true, rand(5, 6), 1, 1);
    error('no error for overflowing costs');
  catch err
    assert(strcmp(err.identifier, 'lf_cost_minimum:nonFinite'), err.identifier);
  end
end

function check_errors()
  h = lf_test_helpers();
  E = rand(4, 5, 3); s = [-1 0 1]; G = rand(4, 5) * 255;
  bad = E; bad(2, 3, 2) = NaN;
  id = @(kind) ['lf_cost_minimum:' kind];
  call = @(varargin) @() lf_cost_minimum(varargin{:});
  rows_of_errors = {
    'inputCount',  call(E),                  'expected 2, 3 or 6 inputs (E, shifts, refine, G, radius, epsilon), got 1.'
    'inputCount',  call(E, s, true, 1),      'expected 2, 3 or 6 inputs (E, shifts, refine, G, radius, epsilon), got 4.'
    'badArray',    call(E, s, true, {G}, 1, 1), 'input 4 (G) must be a real full double array, got a cell array.'
    'badSize',     call(E, s, true, G', 1, 1), 'input 4 (G) must be 4 x 5 (the rows and columns of E), got 5 x 4.'
    'nonFinite',   call(E, s, true, G * NaN, 1, 1), 'input 4 (G) must hold finite values, got NaN at row 1, column 1 (1-based).'
    'badRadius',   call(E, s, true, G, 1.5, 1), 'input 5 (radius) must be a finite whole number of at least 0, got 1.5.'
    'badEpsilon',  call(E, s, true, G, 1, 0), 'input 6 (epsilon) must be a finite number above 0, got 0.'
    'badArray',    call(single(E), s),       'input 1 (E) must be a real full double array, got a single array.'
    'badArray',    call(E, {s}),             'input 2 (shifts) must be a real full double vector, got a cell array.'
    'badShifts',   call(E, []),              'input 2 (shifts) must be a vector of at least one shift, got 0 x 0.'
    'badShifts',   call(E, eye(3)),          'input 2 (shifts) must be a vector of at least one shift, got 3 x 3.'
    'nonFinite',   call(E, [0 Inf 1]),       'input 2 (shifts) must hold finite values, got Inf at row 1, column 2 (1-based).'
    'badSize',     call(E, [0 1]),           'input 1 (E) must be rows x cols x 2 (one slice per shift), got 4 x 5 x 3.'
    'badSize',     call(rand(4, 5, 3, 2), s), 'input 1 (E) must be rows x cols x 3 (one slice per shift), got 4 x 5 x 3 x ....'
    'nonFinite',   call(bad, s),             'input 1 (E) must hold finite values, got NaN at row 2, column 3, slice 2 (1-based).'
    'badScalar',   call(E, s, 'a'),          'input 3 (refine) must be a real numeric or logical scalar, got a char array.'
    'emptyScalar', call(E, s, []),           'input 3 (refine) must hold at least one element, got an empty double array.'
    'badRefine',   call(E, s, 2),            'input 3 (refine) must be true or false (1 or 0), got 2.'
    'badRefine',   call(E, s, NaN),          'input 3 (refine) must be true or false (1 or 0), got NaN.'
  };
  before = h.snapshot(E, s, G);
  for n = 1:rows(rows_of_errors)
    h.expect_error(id(rows_of_errors{n, 1}), rows_of_errors{n, 2}, ['lf_cost_minimum: ' rows_of_errors{n, 3}]);
  end
  try
    [a, b, c] = lf_cost_minimum(E, s);
    error('no error for three outputs');
  catch err
    assert(strcmp(err.identifier, id('outputCount')), err.identifier);
  end
  assert(isequal(h.snapshot(E, s, G), before), 'a rejected call changed an input');
end
