function result = lightfield_depth_demo(varargin)
%LIGHTFIELD_DEPTH_DEMO  Depth from three synthetic light fields, scored against the truth.
%   LIGHTFIELD_DEPTH_DEMO renders three 9 x 9 light fields of 256 x 256 views
%   with known disparity (LF_SYNTHETIC_SCENE): a well-textured scene; a
%   harder one with faint textures, smooth shading and thin bars; and a
%   realistic one (1/f textures, a glossy disk, a plain wall, thin bars in
%   front, a far background, camera noise and vignetting). For each it runs
%   the default call of LF_DISPARITY_SWEEP (the shift range found from the
%   light field, the guided filter and the refinement), and
%   scores both the plain shift of least entropy over the same shifts and
%   the defaults with LF_DISPARITY_SCORE: BadPix(0.07), BadPix(0.03),
%   BadPix(0.01) (the share of pixels whose error exceeds that many pixels)
%   and MSE x 100. It shows the per-plane entropy once with tressik, writes
%   its pictures (centre view, all-in-focus image, disparity, confidence,
%   error) as PNG files, prints a table of the scores with the sweep times,
%   and ends with one line on what it found.
%
%   RESULT = LIGHTFIELD_DEPTH_DEMO(NAME, VALUE, ...) with the options
%     'Size'    image rows and columns, one number or [rows cols] (256)
%     'Views'   views per side of the grid, odd (9)
%     'Range'   first and last shift factor ([]: found by the sweep)
%     'Steps'   number of shift factors with 'Range' (41)
%     'Output'  folder for the pictures ('lightfield-demo' in the current folder)
%   returns a struct with, per scene, the scores, the estimates, the truth,
%   the shifts and the sweep time, and the total time and the files written.
%
%   Needs olmarin, varnel and tressik and the lf_* helpers on the path.
%
%   See also LF_SYNTHETIC_SCENE, LF_DISPARITY_SWEEP, LF_DISPARITY_SCORE, LF_ALL_IN_FOCUS.

  opt = struct('size', 256, 'views', 9, 'steps', 41, 'range', [], 'output', 'lightfield-demo');
  for i = 1:2:numel(varargin)
    name = varargin{i};
    if isa(name, 'string')
      name = char(name);
    end
    if ~ischar(name) || ~isfield(opt, lower(name)) || i + 1 > numel(varargin)
      error('lightfield_depth_demo:badOption', 'lightfield_depth_demo: unknown option or missing value at argument %d.', i);
    end
    value = varargin{i + 1};
    if isa(value, 'string')
      value = char(value);
    end
    opt.(lower(name)) = value;
  end
  rows = opt.size(1);
  cols = opt.size(end);
  C = opt.views;
  middle_view = (C + 1) / 2;
  fixed = [];
  if ~isempty(opt.range)
    fixed = linspace(opt.range(1), opt.range(2), opt.steps);
  end
  for module = {'olmarin', 'varnel', 'tressik'}
    if exist(module{1}) ~= 3 %#ok<EXIST>
      error('lightfield_depth_demo:noModule', ...
            'lightfield_depth_demo: the module %s is not on the path; build it and addpath its folder.', module{1});
    end
  end
  if ~exist(opt.output, 'dir')
    mkdir(opt.output);
  end
  out = absolute(opt.output);
  started = tic;
  say = @(varargin) fprintf('[%5.1f s] %s\n', toc(started), sprintf(varargin{:}));
  if exist('lf_entropy_sweep') == 3 %#ok<EXIST>
    how = 'lf_entropy_sweep';
  else
    how = 'olmarin, then varnel, per shift';
  end
  files = {};
  scenes = struct('name', {'textured', 'hard', 'realistic'}, 'scene', {'default', 'hard', 'realistic'}, ...
                  'what', {'background plane, slanted plane, disk in front', ...
                           'faint shaded background and slanted plane, thin bars, fine-textured disk', ...
                           ['1/f textures, far background, plain wall, slanted floor, curved surface, glossy disk, ' ...
                            'fine pattern, thin bars; noise and vignetting']}, ...
                  'prefix', {'', 'hard_', 'realistic_'});
  for k = 1:numel(scenes)
    sc = scenes(k);
    say('%s scene: rendering %d x %d views of %d x %d pixels: %s', sc.name, C, C, rows, cols, sc.what);
    [remapped, truth] = lf_synthetic_scene(rows, cols, C, sc.scene, 'remapped');
    centre = remapped(middle_view:C:end, middle_view:C:end, :);
    say('remapped light field: %d x %d x 3 (true disparity %.2f .. %.2f)', size(remapped, 1), ...
        size(remapped, 2), min(truth(:)), max(truth(:)));
    say('sweeping (%s), defaults', how);
    swept = tic;
    [estimate, confidence, entropy, images, info] = lf_disparity_sweep(remapped, C, fixed, 'Progress', true);
    sc.sweep_seconds = toc(swept);
    shifts = info.shifts;
    sc.shifts = shifts;
    sc.truth = truth;
    sc.estimate = estimate;
    sc.confidence = confidence;
    % The plain shift of least entropy over the same shifts: what
    % 'Filter', false, 'Smooth', false, 'Refine', false returns.
    sc.plain = lf_disparity_from_entropy(entropy, shifts, false);
    sc.focused = lf_all_in_focus(images, shifts, estimate);
    clear images;
    sc.methods = {'plain argmin', 'defaults'};
    sc.scores = [lf_disparity_score(sc.plain, truth, centre), lf_disparity_score(estimate, truth, centre)];

    if k == 1
      [~, near] = min(abs(shifts - max(truth(:))));
      [~, far] = min(abs(shifts - min(truth(:))));
      [~, middle] = min(abs(shifts));
      say('per-plane entropy at alpha = %+.2f (olmarin, then tressik)', shifts(middle));
      refocused = zeros(size(remapped));
      plane_maps = {zeros(rows, cols), zeros(rows, cols), zeros(rows, cols)};
      % Three refocused images through one destination: olmarin overwrites
      % it whole, and tressik reads the last, at the middle shift.
      pictures = {zeros(rows, cols, 3), zeros(rows, cols, 3), zeros(rows, cols, 3)};
      at = [near, far, middle];
      for n = 1:3
        olmarin(cols, rows, C, (C - 1) / 2, remapped, refocused, pictures{n}, shifts(at(n)));
      end
      tressik(cols, rows, C, 0, refocused, 0, plane_maps{:});
      clear refocused;
      say('writing pictures to %s (refocused at %+.2f, %+.2f and %+.2f; entropy at %+.2f)', out, ...
          shifts(near), shifts(middle), shifts(far), shifts(middle));
      files{end + 1} = write_png(out, 'refocused_near.png', pictures{1} / 255); %#ok<AGROW>
      files{end + 1} = write_png(out, 'refocused_middle.png', pictures{3} / 255); %#ok<AGROW>
      files{end + 1} = write_png(out, 'refocused_far.png', pictures{2} / 255); %#ok<AGROW>
      elim = [0 ceil(max([entropy(:); plane_maps{1}(:); plane_maps{2}(:); plane_maps{3}(:); 1]))];
      files{end + 1} = write_png(out, 'entropy_varnel.png', ...
                                 with_colour_bar(entropy(:, :, middle), elim, @viridis_like)); %#ok<AGROW>
      gap = nan(rows, 4);
      files{end + 1} = write_png(out, 'entropy_tressik_planes.png', ...
                                 with_colour_bar([plane_maps{1}, gap, plane_maps{2}, gap, plane_maps{3}], ...
                                                 elim, @viridis_like)); %#ok<AGROW>
    else
      say('writing pictures to %s', out);
    end
    clear remapped entropy;
    dlim = [min(shifts) max(shifts)];
    files{end + 1} = write_png(out, [sc.prefix 'centre_view.png'], centre / 255); %#ok<AGROW>
    files{end + 1} = write_png(out, [sc.prefix 'all_in_focus.png'], sc.focused / 255); %#ok<AGROW>
    files{end + 1} = write_png(out, [sc.prefix 'disparity_truth.png'], with_colour_bar(truth, dlim, @viridis_like)); %#ok<AGROW>
    files{end + 1} = write_png(out, [sc.prefix 'disparity_estimate.png'], ...
                               with_colour_bar(estimate, dlim, @viridis_like)); %#ok<AGROW>
    files{end + 1} = write_png(out, [sc.prefix 'confidence.png'], ...
                               with_colour_bar(confidence, [0 1], @grey_scale)); %#ok<AGROW>
    files{end + 1} = write_png(out, [sc.prefix 'disparity_error.png'], ...
                               with_colour_bar(estimate - truth, [-0.5 0.5], @blue_white_red)); %#ok<AGROW>
    result.scenes(k) = sc;
  end
  result.files = files;
  result.output = out;
  result.seconds = toc(started);

  fprintf('\n| scene | estimate | BadPix(0.07) %% | BadPix(0.03) %% | BadPix(0.01) %% | MSE x 100 | near edges BadPix(0.07) %% | sweep s |\n');
  fprintf('|---|---|---|---|---|---|---|---|\n');
  for k = 1:numel(result.scenes)
    sc = result.scenes(k);
    for m = 1:numel(sc.methods)
      s = sc.scores(m);
      % Texts that may be empty are joined, not passed to a %s: MATLAB's
      % fprintf stops at an empty argument.
      sweep = '';
      if m == 2
        sweep = sprintf('%.1f', sc.sweep_seconds);
      end
      fprintf(['| ' sc.name ' | ' sc.methods{m} sprintf(' | %.2f | %.2f | %.2f | %.3f | %.2f | ', s.badpix07, ...
               s.badpix03, s.badpix01, s.mse100, s.edges.badpix07) sweep ' |\n']);
    end
  end
  fprintf('\n');
  for k = 1:numel(result.scenes)
    sc = result.scenes(k);
    % The confidence sorts the pixels: how the errors split between halves.
    bad = abs(sc.estimate - sc.truth) > 0.07;
    split = median(sc.confidence(:));
    fprintf('%s: shifts %+.2f .. %+.2f; BadPix(0.07) %.2f %% in the more confident half of the pixels, %.2f %% in the other\n', ...
            sc.name, min(sc.shifts), max(sc.shifts), 100 * mean(bad(sc.confidence >= split)), ...
            100 * mean(bad(sc.confidence < split)));
  end
  line = 'Defaults against the plain argmin: BadPix(0.07)';
  for k = 1:numel(result.scenes)
    s = result.scenes(k).scores;
    line = [line sprintf(' %.2f -> %.2f %% (%s),', s(1).badpix07, s(2).badpix07, result.scenes(k).name)]; %#ok<AGROW>
  end
  fprintf('%s\n', [line sprintf(' %d x %d pixels, %d x %d views, %.1f s; pictures in ', rows, cols, C, C, ...
                                 result.seconds) out]);
end

function file = write_png(folder, name, rgb)
  file = fullfile(folder, name);
  pixels = uint8(round(255 * min(max(rgb, 0), 1)));
  if exist('OCTAVE_VERSION', 'builtin')
    % Octave's writer reads the tens of 'Quality' as the zlib level: 3
    % writes in half the time of its default 7, for files 5 % larger.
    imwrite(pixels, file, 'Quality', 35);
  else
    imwrite(pixels, file);
  end
end

function out = absolute(folder)
  % Without cd: a relative folder on the caller's path would stop resolving.
  if isempty(regexp(folder, '^([\\/~]|[A-Za-z]:)', 'once'))
    out = fullfile(pwd, folder);
  else
    out = folder;
  end
end

function rgb = with_colour_bar(values, limits, colour_map)
  % The picture, then a vertical bar of the colour scale with labelled ends
  % and middle, drawn into the array itself so that no display is needed.
  [rows, cols] = size(values);
  t = (values - limits(1)) / (limits(2) - limits(1));
  picture = colour_map(min(max(t, 0), 1));
  blank = isnan(values);
  picture(repmat(blank, [1 1 3])) = 1;
  height = max(rows, 60);
  bar_width = 12;
  margin = 8;
  label_width = 6 * 8;
  rgb = ones(height, cols + margin + bar_width + 4 + label_width, 3);
  rgb(1:rows, 1:cols, :) = picture;
  top = 6;
  bottom = height - 6;
  level = linspace(1, 0, bottom - top + 1)';
  bar = colour_map(repmat(level, 1, bar_width));
  x0 = cols + margin;
  rgb(top:bottom, x0 + 1:x0 + bar_width, :) = bar;
  for f = [0 0.5 1]
    y = round(bottom - f * (bottom - top));
    rgb(y, x0 + bar_width + (1:3), :) = 0;
    text = label(limits(1) + f * (limits(2) - limits(1)));
    rgb = draw_text(rgb, text, y - 4, x0 + bar_width + 5);
  end
end

function s = label(value)
  if abs(value - round(value)) < 1e-9
    s = sprintf('%d', round(value));
  else
    s = sprintf('%.1f', value);
  end
end

function rgb = draw_text(rgb, text, y, x)
  % A 3 x 5 pixel font drawn at twice its size.
  glyphs = struct('c', {'0','1','2','3','4','5','6','7','8','9','-','+','.'}, 'bits', { ...
    [7 5 5 5 7], [2 6 2 2 7], [7 1 7 4 7], [7 1 7 1 7], [5 5 7 1 1], [7 4 7 1 7], [7 4 7 5 7], ...
    [7 1 1 1 1], [7 5 7 5 7], [7 5 7 1 7], [0 0 7 0 0], [0 2 7 2 0], [0 0 0 0 2]});
  for ch = text
    g = glyphs(strcmp({glyphs.c}, ch));
    if isempty(g)
      x = x + 8;
      continue;
    end
    for row = 1:5
      for col = 1:3
        if bitand(g.bits(row), 2 ^ (3 - col))
          ys = y + 2 * (row - 1) + (0:1);
          xs = x + 2 * (col - 1) + (0:1);
          ok = ys >= 1 & ys <= size(rgb, 1);
          rgb(ys(ok), xs(xs <= size(rgb, 2)), :) = 0;
        end
      end
    end
    x = x + 8;
  end
end

function rgb = viridis_like(t)
  anchors = [0.267 0.005 0.329; 0.283 0.141 0.458; 0.254 0.265 0.530; 0.207 0.372 0.553; ...
             0.164 0.471 0.558; 0.128 0.567 0.551; 0.135 0.659 0.518; 0.267 0.749 0.441; ...
             0.478 0.821 0.318; 0.741 0.873 0.150; 0.993 0.906 0.144];
  rgb = interpolate_map(t, anchors);
end

function rgb = grey_scale(t)
  rgb = repmat(t, [1 1 3]);
end

function rgb = blue_white_red(t)
  anchors = [0.13 0.40 0.67; 0.57 0.77 0.87; 1 1 1; 0.96 0.65 0.51; 0.70 0.09 0.17];
  rgb = interpolate_map(t, anchors);
end

function rgb = interpolate_map(t, anchors)
  % Piecewise linear between the anchors in the order of operations of
  % Octave's interp1 (the same values, at a sixth of its time); t lies in
  % 0..1, and NaN is drawn as 0.
  t(isnan(t)) = 0;
  position = linspace(0, 1, size(anchors, 1));
  piece = ones(size(t));
  for p = position(2:end - 1)
    piece = piece + (t >= p);
  end
  offset = t - position(piece);
  slope = diff(anchors) ./ repmat(diff(position)', 1, 3);
  rgb = zeros([size(t), 3]);
  for k = 1:3
    rgb(:, :, k) = reshape(anchors(piece, k) + slope(piece, k) .* offset(:), size(t));
  end
end
