function [views, truth, surfaces] = lf_synthetic_scene(rows, cols, C, surfaces, layout, varargin)
%LF_SYNTHETIC_SCENE  Render a light field of textured planes with known disparity.
%   [V, TRUTH] = LF_SYNTHETIC_SCENE(ROWS, COLS, C) renders the default scene,
%   seen from a C x C grid of views of ROWS x COLS pixels: a textured
%   background plane far behind, a slanted textured plane whose disparity
%   grows from left to right, and a textured disk in front of both, with
%   disparities from about -1.7 to +1.6 pixels per view step. V is indexed
%   V(view row, view column, image row, image column, colour plane), with
%   intensities in 0..255; TRUTH (ROWS x COLS) is the disparity of the
%   centre view, pixel by pixel.
%
%   [V, TRUTH] = LF_SYNTHETIC_SCENE(ROWS, COLS, C, SURFACES) renders the
%   given surfaces instead: a struct array with the fields
%     disparity  disparity at the image's middle column
%     slope      change of disparity per pixel to the right (0: fronto-parallel)
%     shape      'all', 'rect' ([x0 x1 y0 y1]) or 'disk' ([xc yc radius])
%     extent     the shape's extent, in fractions of the image's width and height
%     colour     base colour [r g b] in 0..1
%     seed       seed of the surface's texture
%   and, optionally (absent or empty: the default in brackets),
%     contrast   scale of the texture's amplitude [1]
%     wavelength shortest and longest texture wavelength in pixels [5 40]
%     waves      number of plane waves in the texture [16]
%     shading    [amplitude wavelength angle]: brightness times
%                1 + amplitude*cos(2*pi*(position along angle)/wavelength),
%                a smooth shading carried by the surface [none]
%     curvature  q in disparity = disparity + slope*t + q*t^2, t the column
%                less the middle column: a surface curved along the rows [0]
%     gloss      [strength x y radius speed]: a white highlight of the given
%                strength and radius (a fraction of the width) centred at
%                (x, y) (fractions of width and height), which slides
%                speed pixels per view step as the view moves [none]
%   and the shape 'stripes' ([x0 x1 y0 y1 period width], the period and the
%   width of vertical bars as fractions of the image's width).
%   SURFACES may also name a built-in scene: 'default' or 'hard' (low
%   texture, smooth shading and fine detail: a faintly textured, shaded
%   background at -1.37, a faint slanted plane from about -0.86 to -0.21, a
%   fence of bars 3.6 pixels wide (at 256 columns) at +1.23 and a finely
%   textured disk at +0.66; off the usual 0.1 grid of shifts, as real
%   scenes are), or 'realistic': textures of many waves with a 1/f spectrum
%   over a far background at -2.72 (over a third of the frame), a faint,
%   nearly plain wall, a slanted floor, a curved surface bulging towards
%   the camera, a glossy low-texture disk whose highlight moves with the
%   view, a fine repeating pattern and thin bars in front at +2.86; the
%   views then pass through a camera: vignetting towards the outer views,
%   shot and read noise, and rounding to whole intensities (the noise is
%   a fixed function of each sample's place, the same in every host).
%
%   R = LF_SYNTHETIC_SCENE(ROWS, COLS, C, SURFACES, 'remapped') returns the
%   remapped light field ((ROWS*C) x (COLS*C) x 3, as LF_VIEWS_TO_REMAPPED
%   would make it from V) instead of V, without building V.
%
%   LF_SYNTHETIC_SCENE(..., LAYOUT, 'Seed', N) with a whole number N in
%   0 .. 9999 adds 1000*N to every surface's seed and, for 'realistic',
%   draws the camera noise from another place of its table: the same
%   surfaces, disparities and truth with other textures and noise, for
%   checking that a setting tuned on one scene holds on others. N = 0 (the
%   default) is the scene described above; LAYOUT may be '' for V.
%
%   Disparities follow the sign convention of LF_DISPARITY_SWEEP. Every view
%   pixel shows the nearest surface (largest disparity) that covers it, and
%   every texture is evaluated exactly at the pixel's sub-pixel position on
%   its surface.
%
%   See also LF_DISPARITY_SWEEP, LIGHTFIELD_DEPTH_DEMO.

  seed = scene_seed(varargin);
  camera = [];
  if nargin < 4 || isempty(surfaces) || (ischar(surfaces) && strcmp(surfaces, 'default'))
    surfaces = default_scene(cols);
  elseif ischar(surfaces) && strcmp(surfaces, 'hard')
    surfaces = hard_scene(cols);
  elseif ischar(surfaces) && strcmp(surfaces, 'realistic')
    [surfaces, camera] = realistic_scene(cols, seed);
  elseif ischar(surfaces)
    error('lf_synthetic_scene:badScene', ...
          'lf_synthetic_scene: SURFACES must be a struct array, ''default'', ''hard'' or ''realistic'', got ''%s''.', ...
          surfaces);
  end
  if seed ~= 0
    for i = 1:numel(surfaces)
      surfaces(i).seed = surfaces(i).seed + 1000 * seed;
    end
  end
  remapped = nargin > 4 && strcmp(layout, 'remapped');
  if mod(C, 2) ~= 1
    error('lf_synthetic_scene:evenGrid', 'lf_synthetic_scene: C must be odd, got %d.', C);
  end
  D = (C - 1) / 2;
  textures = make_texture(surfaces(1));
  for i = 2:numel(surfaces)
    textures(i) = make_texture(surfaces(i));
  end
  if remapped
    views = zeros(rows * C, cols * C, 3);
  else
    views = zeros(C, C, rows, cols, 3);
  end
  % One row of views at a time, its columns interleaved as in the remapped
  % layout: column (c-1)*C + b is column c of view b. Every pixel's value
  % goes through the same operations whatever the batch holds.
  c = kron(0:cols - 1, ones(1, C));
  u = repmat((1:C) - 1 - D, 1, cols);
  for a = 1:C
    [img, depth] = render_view(rows, cols, c, u, a - 1 - D, surfaces, textures);
    if ~isempty(camera)
      img = sensor(img, rows, cols, C, a, u, a - 1 - D, camera);
    end
    if remapped
      views(a:C:end, :, :) = img;
    else
      views(a, :, :, :, :) = permute(reshape(img, [rows C cols 3]), [5 2 1 3 4]);
    end
    if a == D + 1
      truth = depth(:, D + 1:C:end);
    end
  end
end

function surfaces = default_scene(cols)
  % The slanted plane runs from about -1.3 at its left edge to +0.8 at its
  % right, whatever the image's width.
  surfaces = struct( ...
    'disparity', {-1.7, 0.05, 1.6}, ...
    'slope', {0, 3.3 / cols, 0}, ...
    'shape', {'all', 'rect', 'disk'}, ...
    'extent', {[], [0.10 0.72 0.16 0.86], [0.70 0.56 0.17]}, ...
    'colour', {[0.35 0.55 0.85], [0.85 0.75 0.35], [0.85 0.35 0.30]}, ...
    'seed', {11, 22, 33});
end

function surfaces = hard_scene(cols)
  % Faint textures over smooth shading, where the entropy minimum is shallow,
  % and bars a few pixels wide, where it is narrow and borders are many;
  % disparities between the shifts of a 0.1 grid.
  surfaces = struct( ...
    'disparity', {-1.37, -0.33, 1.23, 0.66}, ...
    'slope', {0, 1.2 / cols, 0, 0}, ...
    'shape', {'all', 'rect', 'stripes', 'disk'}, ...
    'extent', {[], [0.06 0.60 0.10 0.62], [0.50 0.95 0.55 0.97 0.07 0.014], [0.28 0.76 0.14]}, ...
    'colour', {[0.55 0.60 0.65], [0.80 0.70 0.50], [0.90 0.90 0.85], [0.45 0.65 0.40]}, ...
    'seed', {44, 55, 66, 77}, ...
    'contrast', {0.12, 0.08, 1, 0.7}, ...
    'wavelength', {[], [], [], [2 5]}, ...
    'waves', {6, 6, 6, 16}, ...
    'shading', {[0.45 180 0.5], [0.35 120 2.0], [], [0.25 60 1.0]});
end

function seed = scene_seed(args)
  seed = 0;
  for i = 1:2:numel(args)
    name = args{i};
    if isa(name, 'string') && isscalar(name)
      name = char(name);
    end
    if ~(ischar(name) && strcmpi(name, 'Seed') && i + 1 <= numel(args))
      error('lf_synthetic_scene:badOption', ...
            'lf_synthetic_scene: after LAYOUT only the option ''Seed'' and its value may follow, got argument %d.', i + 5);
    end
    value = args{i + 1};
    if ~(isnumeric(value) && isreal(value) && isscalar(value) && value == fix(value) && value >= 0 && value <= 9999)
      error('lf_synthetic_scene:badSeed', 'lf_synthetic_scene: ''Seed'' must be a whole number in 0 .. 9999, got %s.', ...
            describe(value));
    end
    seed = double(value);
  end
end

function text = describe(value)
  if isnumeric(value) && isscalar(value)
    text = num2str(value);
  else
    text = sprintf('a %s array of size %s', class(value), mat2str(size(value)));
  end
end

function [surfaces, camera] = realistic_scene(cols, seed)
  % Textures of many waves with wavelengths spread evenly on a log scale and
  % equal amplitudes: equal power per octave, the 1/f amplitude spectrum of
  % natural images. A large far background at one end of about -3 .. +3,
  % thin bars at the other; a faint, nearly plain wall; a slanted floor; a
  % curved surface bulging towards the camera; a glossy disk; a fine
  % repeating pattern.
  w = cols;
  surfaces = struct( ...
    'disparity', {-2.72, -1.63, -0.70, 0.64, 1.74, -0.37, 2.86}, ...
    'slope', {0, 0, 2.9 / w, 7.5 / w, 0, 0, 0}, ...
    'curvature', {0, 0, 0, -25 / w ^ 2, 0, 0, 0}, ...
    'shape', {'all', 'rect', 'rect', 'rect', 'disk', 'rect', 'stripes'}, ...
    'extent', {[], [0.04 0.42 0.04 0.34], [0.02 0.64 0.64 0.98], [0.46 0.86 0.08 0.52], ...
               [0.27 0.46 0.12], [0.70 0.96 0.60 0.94], [0.06 0.98 0.0 0.58 0.13 0.0085]}, ...
    'colour', {[0.42 0.52 0.58], [0.80 0.78 0.72], [0.62 0.50 0.36], [0.35 0.58 0.40], ...
               [0.72 0.22 0.20], [0.85 0.85 0.80], [0.30 0.24 0.18]}, ...
    'seed', {101, 102, 103, 104, 105, 106, 107}, ...
    'contrast', {0.9, 0.04, 0.8, 0.7, 0.25, 1.3, 0.6}, ...
    'wavelength', {[3 240], [20 200], [3 160], [3 120], [4 60], [3.3 3.5], [3 20]}, ...
    'waves', {32, 6, 32, 24, 16, 2, 10}, ...
    'shading', {[0.25 400 0.6], [0.3 160 1.1], [0.2 220 2.3], [0.3 90 0.2], [], [], []}, ...
    'gloss', {[], [], [], [], [0.55 0.36 0.45 0.05 1.6], [], []});
  % Vignetting darkens the outer views (most at the image's corners); then
  % shot noise (variance proportional to the signal) and read noise, and
  % 8-bit quantisation.
  camera = struct('vignetting', 0.3, 'shot', 0.06, 'read', 1.2);
  camera.noise = normal_from_hash(hash32(mod((0:999982)' + (2718 + 1000 * seed) * 7919, 2 ^ 32)));
end

function img = sensor(img, rows, cols, C, a, u, v, camera)
  % u holds each column's horizontal view offset, v the row of views'.
  D = (C - 1) / 2;
  m = size(img, 2);
  x = (floor((0:m - 1) / C) - (cols - 1) / 2) / (cols / 2);
  y = ((0:rows - 1)' - (rows - 1) / 2) / (rows / 2);
  outer = (u .^ 2 + v ^ 2) / (2 * D ^ 2);
  gain = 1 - camera.vignetting * bsxfun(@times, outer, 0.5 + 0.25 * bsxfun(@plus, x .^ 2, y .^ 2));
  % Every sample's noise is looked up by its place in the whole light field,
  % so that a view row renders the same whatever else is rendered; the
  % table's prime length keeps its repeats from lining up with the layout.
  first = (a - 1) * rows * m;
  plane_size = C * rows * m;
  table = camera.noise;
  for k = 1:3
    signal = img(:, :, k) .* gain;
    index = mod(reshape(first + (k - 1) * plane_size + (0:rows * m - 1), rows, m), numel(table));
    value = signal + sqrt(camera.read ^ 2 + camera.shot * signal) .* table(index + 1);
    img(:, :, k) = min(max(floor(value + 0.5), 0), 255);
  end
end

function z = normal_from_hash(h)
  % The sum of the hash's four bytes, scaled to unit variance: close to a
  % normal deviate, with the same bits in every host.
  z = mod(h, 256) + mod(floor(h / 256), 256) + mod(floor(h / 65536), 256) + floor(h / 16777216);
  z = (z - 510) / sqrt(4 * (256 ^ 2 - 1) / 12);
end

function x = hash32(x)
  % An integer hash of 32-bit values (xor-shifts and odd multipliers), in
  % doubles: every intermediate value stays an exact integer below 2^53.
  x = bitxor(x, floor(x / 65536));
  x = times32(x, 2146121005);
  x = bitxor(x, floor(x / 32768));
  x = times32(x, 2221713035);
  x = bitxor(x, floor(x / 65536));
end

function p = times32(x, k)
  low = mod(x, 65536);
  p = mod(low * k + mod((x - low) / 65536 * k, 65536) * 65536, 2 ^ 32);
end

function tex = make_texture(s)
  % A sum of plane waves with random orientations and wavelengths of 5 to
  % 40 pixels: rich enough for every small misalignment to change the
  % samples, smooth enough to be seen the same way through every view.
  n = 16;
  if isfield(s, 'waves') && ~isempty(s.waves)
    n = s.waves;
  end
  random = park_miller(s.seed, 10 * n);
  span = [5 40];
  if isfield(s, 'wavelength') && ~isempty(s.wavelength)
    span = s.wavelength;
  end
  wavelength = span(1) * (span(2) / span(1)) .^ random(1:n);
  angle = 2 * pi * random(n + 1:2 * n);
  tex.a = 2 * pi ./ wavelength .* cos(angle);
  tex.b = 2 * pi ./ wavelength .* sin(angle);
  % Row 1 shades the surface's colour; rows 2 to 4 tint each colour plane.
  tex.phase = 2 * pi * reshape(random(2 * n + 1:6 * n), 4, n);
  tex.amplitude = 0.55 * (0.6 + 0.4 * reshape(random(6 * n + 1:10 * n), 4, n)) / sqrt(n);
  if isfield(s, 'contrast') && ~isempty(s.contrast)
    tex.amplitude = s.contrast * tex.amplitude;
  end
  tex.colour = s.colour;
  tex.shading = [];
  if isfield(s, 'shading') && ~isempty(s.shading)
    tex.shading = s.shading;
  end
  tex.gloss = [];
  if isfield(s, 'gloss') && ~isempty(s.gloss)
    tex.gloss = s.gloss;
  end
end

function x = park_miller(seed, n)
  % The same numbers in every host and no change to the caller's generators;
  % every product stays below 2^53, so doubles hold it exactly.
  x = zeros(1, n);
  state = mod(seed * 7919 + 1, 2147483647);
  for i = 1:n
    state = mod(16807 * state, 2147483647);
    x(i) = state / 2147483647;
  end
end

function [img, depth] = render_view(rows, cols, c, u, v, surfaces, textures)
  % Columns c of views cols wide, each column with its own horizontal view
  % offset u; v is the vertical one.
  m = numel(c);
  r = (0:rows - 1)';
  img = zeros(rows, m, 3);
  depth = -inf(rows, m);
  for i = 1:numel(surfaces)
    s = surfaces(i);
    % Disparity d(x) = p0 + g*x on the surface, in centre-view columns x.
    % The view pixel (r, c) shows centre point x with c = x - d(x)*u, which
    % depends on the column alone, and y = r + d(x)*v.
    g = s.slope;
    if isfield(s, 'curvature') && ~isempty(s.curvature) && s.curvature ~= 0
      % d = disparity + g*t + q*t^2 with t = x - (cols-1)/2 makes c = x - d*u
      % a quadratic in t; the root that becomes the plane's as q*u goes to
      % 0, written so that the centre view (u = 0) gets t = c - (cols-1)/2
      % exactly. Columns without a root never see the surface.
      q = s.curvature;
      K = c - (cols - 1) / 2 + s.disparity * u;
      B = 1 - g * u;
      disc = B .^ 2 - 4 * q * u .* K;
      t = 2 * K ./ (B + sqrt(max(disc, 0)));
      x = (cols - 1) / 2 + t;
      d = s.disparity + g * t + q * t .^ 2;
      d(disc < 0) = -inf;
      x(disc < 0) = -inf;
    else
      p0 = s.disparity - g * (cols - 1) / 2;
      x = (c + p0 * u) ./ (1 - g * u);
      d = p0 + g * x;
    end
    % Only the rows and columns that can show the shape are tested: the
    % box uses the same comparisons as the shape, so it holds every pixel
    % that passes them.
    e = s.extent;
    switch s.shape
      case 'all'
        cs = 1:m;
      case 'disk'
        cs = find((x - e(1) * cols) .^ 2 <= (e(3) * cols) ^ 2);
      otherwise
        cs = find(x >= e(1) * cols & x <= e(2) * cols);
    end
    if isempty(cs)
      continue;
    end
    xb = x(cs);
    dv = d(cs) * v;
    y = r + dv;
    switch s.shape
      case 'all'
        rs = (1:rows)';
        inside = true(rows, numel(cs));
      case 'rect'
        rs = find(any(y >= e(3) * rows & y <= e(4) * rows, 2));
        yb = y(rs, :);
        inside = yb >= e(3) * rows & yb <= e(4) * rows;
      case 'disk'
        rs = find(any((y - e(2) * rows) .^ 2 <= (e(3) * cols) ^ 2, 2));
        inside = (xb - e(1) * cols) .^ 2 + (y(rs, :) - e(2) * rows) .^ 2 <= (e(3) * cols) ^ 2;
      case 'stripes'
        rs = find(any(y >= e(3) * rows & y <= e(4) * rows, 2));
        yb = y(rs, :);
        inside = bsxfun(@and, mod(xb - e(1) * cols, e(5) * cols) < e(6) * cols, yb >= e(3) * rows & yb <= e(4) * rows);
    end
    if isempty(rs)
      continue;
    end
    dmap = repmat(d(cs), numel(rs), 1);
    front = inside & (dmap > depth(rs, cs));
    box = depth(rs, cs);
    box(front) = dmap(front);
    depth(rs, cs) = box;
    % The texture only over the rows and columns where the surface shows.
    keep_r = any(front, 2);
    keep_c = any(front, 1);
    if ~any(keep_r)
      continue;
    end
    front = front(keep_r, keep_c);
    rs = rs(keep_r);
    cs = cs(keep_c);
    t = textures(i);
    shown = front;
    % The row half of every wave, shared by the four texture fields.
    rb = r(rs) * t.b;
    row_waves = [cos(rb), -sin(rb)];
    shade = texture_wave(t, 1, x(cs), d(cs) * v, row_waves);
    light = 1;
    if ~isempty(t.shading)
      % Along the direction at angle shading(3) on the surface; the cosine
      % of a column term plus a row term is a sum of two outer products.
      h = t.shading;
      column = 2 * pi / h(2) * (cos(h(3)) * x(cs) + sin(h(3)) * d(cs) * v);
      row = 2 * pi / h(2) * sin(h(3)) * r(rs);
      light = 1 + h(1) * (cos(row) * cos(column) - sin(row) * sin(column));
    end
    base = 0.55 + 0.45 * shade;
    glint = zeros(1, 3);
    if ~isempty(t.gloss)
      % A highlight that slides over the surface as the view moves: each
      % view sees another colour there, as on a glossy surface.
      h = t.gloss;
      gx = (x(cs) - h(2) * cols - h(5) * u(cs)) .^ 2;
      gy = (bsxfun(@plus, r(rs), d(cs) * v) - h(3) * rows - h(5) * v) .^ 2;
      spot = h(1) * exp(-bsxfun(@plus, gx, gy) / (2 * (h(4) * cols) ^ 2));
      glint = [1 0.93 0.8];
    end
    for k = 1:3
      plane = 255 * (t.colour(k) * base .* light + 0.1 * texture_wave(t, k + 1, x(cs), d(cs) * v, row_waves));
      if glint(k) > 0
        plane = plane + 255 * glint(k) * spot;
      end
      layer = img(rs, cs, k);
      layer(shown) = min(max(plane(shown), 0), 255);
      img(rs, cs, k) = layer;
    end
  end
end

function wave = texture_wave(t, k, x, dy, row_waves)
  % Each wave cos(a*x + b*(r + dy) + phase) splits into cos(b*r)cos(theta) -
  % sin(b*r)sin(theta) with theta depending on the column alone, so a whole
  % field is one matrix product with row_waves = [cos(r*b), -sin(r*b)].
  theta = t.a' * x + t.b' * dy + t.phase(k, :)';
  amp = t.amplitude(k, :)';
  wave = row_waves * [amp .* cos(theta); amp .* sin(theta)];
end
