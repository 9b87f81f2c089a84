function result = lightfield_depth_demo(varargin)
%LIGHTFIELD_DEPTH_DEMO  Depth from a synthetic light field, scored against the truth.
%   LIGHTFIELD_DEPTH_DEMO renders a 9 x 9 light field of 256 x 256 views of a
%   scene with known disparity (LF_SYNTHETIC_SCENE), remaps it, sweeps the
%   shift factor over -2 .. 2 in 41 steps with olmarin and varnel
%   (LF_DISPARITY_SWEEP), shows the per-plane entropy once with tressik, takes
%   for each pixel the shift of least entropy as its disparity, scores it
%   with BadPix(0.07) (the share of pixels whose error exceeds 0.07 pixel)
%   and MSE x 100, writes its pictures as PNG files, and prints one line
%   with the scores and where the pictures are.
%
%   RESULT = LIGHTFIELD_DEPTH_DEMO(NAME, VALUE, ...) with the options
%     'Size'    image rows and columns, one number or [rows cols] (256)
%     'Views'   views per side of the grid, odd (9)
%     'Steps'   number of shift factors (41)
%     'Range'   first and last shift factor ([-2 2])
%     'Output'  folder for the pictures ('lightfield-demo' in the current folder)
%   returns a struct with the scores, the estimate, the truth, the elapsed
%   time and the files written.
%
%   Needs olmarin, varnel and tressik and the lf_* helpers on the path.
%
%   See also LF_SYNTHETIC_SCENE, LF_VIEWS_TO_REMAPPED, LF_DISPARITY_SWEEP.

  opt = struct('size', 256, 'views', 9, 'steps', 41, 'range', [-2 2], 'output', 'lightfield-demo');
  for i = 1:2:numel(varargin)
    name = lower(varargin{i});
    if ~isfield(opt, name) || i + 1 > numel(varargin)
      error('lightfield_depth_demo:badOption', 'lightfield_depth_demo: unknown option or missing value: %s.', ...
            varargin{i});
    end
    opt.(name) = varargin{i + 1};
  end
  rows = opt.size(1);
  cols = opt.size(end);
  C = opt.views;
  shifts = linspace(opt.range(1), opt.range(2), opt.steps);
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

  say('rendering %d x %d views of %d x %d pixels: background plane, slanted plane, disk in front', C, C, rows, cols);
  [views, truth] = lf_synthetic_scene(rows, cols, C);
  centre = squeeze(views((C + 1) / 2, (C + 1) / 2, :, :, :));
  remapped = lf_views_to_remapped(views);
  clear views;
  say('remapped light field: %d x %d x 3 (true disparity %.2f .. %.2f)', size(remapped, 1), ...
      size(remapped, 2), min(truth(:)), max(truth(:)));

  say('sweeping %d shift factors from %g to %g (olmarin, then varnel, per shift)', numel(shifts), shifts(1), shifts(end));
  [estimate, entropy, images] = lf_disparity_sweep(remapped, C, shifts, 'Progress', true);

  [~, near] = min(abs(shifts - max(truth(:))));
  [~, far] = min(abs(shifts - min(truth(:))));
  [~, middle] = min(abs(shifts - (shifts(1) + shifts(end)) / 2));
  say('per-plane entropy at alpha = %+.2f (olmarin, then tressik)', shifts(middle));
  refocused = zeros(size(remapped));
  picture = zeros(rows, cols, 3);
  plane_maps = {zeros(rows, cols), zeros(rows, cols), zeros(rows, cols)};
  olmarin(cols, rows, C, (C - 1) / 2, remapped, refocused, picture, shifts(middle));
  tressik(cols, rows, C, 0, refocused, 0, plane_maps{:});

  err = estimate - truth;
  result.badpix = 100 * mean(abs(err(:)) > 0.07);
  result.mse100 = 100 * mean(err(:) .^ 2);
  result.estimate = estimate;
  result.truth = truth;
  result.shifts = shifts;

  say('writing pictures to %s (refocused at %+.2f, %+.2f and %+.2f; entropy at %+.2f)', out, ...
      shifts(near), shifts(middle), shifts(far), shifts(middle));
  dlim = [shifts(1) shifts(end)];
  files = {};
  files{end + 1} = write_png(out, 'centre_view.png', centre / 255);
  files{end + 1} = write_png(out, 'refocused_near.png', images(:, :, :, near) / 255);
  files{end + 1} = write_png(out, 'refocused_middle.png', images(:, :, :, middle) / 255);
  files{end + 1} = write_png(out, 'refocused_far.png', images(:, :, :, far) / 255);
  elim = [0 ceil(max([entropy(:); plane_maps{1}(:); plane_maps{2}(:); plane_maps{3}(:); 1]))];
  files{end + 1} = write_png(out, 'entropy_varnel.png', ...
                             with_colour_bar(entropy(:, :, middle), elim, @viridis_like));
  gap = nan(rows, 4);
  files{end + 1} = write_png(out, 'entropy_tressik_planes.png', ...
                             with_colour_bar([plane_maps{1}, gap, plane_maps{2}, gap, plane_maps{3}], ...
                                             elim, @viridis_like));
  files{end + 1} = write_png(out, 'disparity_estimate.png', with_colour_bar(estimate, dlim, @viridis_like));
  files{end + 1} = write_png(out, 'disparity_truth.png', with_colour_bar(truth, dlim, @viridis_like));
  files{end + 1} = write_png(out, 'disparity_error.png', with_colour_bar(err, [-0.5 0.5], @blue_white_red));
  result.files = files;
  result.output = out;
  result.seconds = toc(started);

  fprintf('BadPix(0.07) = %.2f %%, MSE x 100 = %.3f  (%d x %d pixels, %d x %d views, %d shifts, %.1f s); pictures in %s\n', ...
          result.badpix, result.mse100, rows, cols, C, C, numel(shifts), result.seconds, out);
end

function file = write_png(folder, name, rgb)
  file = fullfile(folder, name);
  imwrite(uint8(round(255 * min(max(rgb, 0), 1))), file);
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

function rgb = blue_white_red(t)
  anchors = [0.13 0.40 0.67; 0.57 0.77 0.87; 1 1 1; 0.96 0.65 0.51; 0.70 0.09 0.17];
  rgb = interpolate_map(t, anchors);
end

function rgb = interpolate_map(t, anchors)
  t(isnan(t)) = 0;
  position = linspace(0, 1, size(anchors, 1));
  rgb = zeros([size(t), 3]);
  for k = 1:3
    rgb(:, :, k) = reshape(interp1(position, anchors(:, k), t(:)), size(t));
  end
end
