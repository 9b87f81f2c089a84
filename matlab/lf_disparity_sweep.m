function [disparity, entropy, images] = lf_disparity_sweep(remapped, C, shifts, varargin)
%LF_DISPARITY_SWEEP  Disparity from the shift factor of least angular entropy.
%   [DISPARITY, ENTROPY] = LF_DISPARITY_SWEEP(R, C, SHIFTS) refocuses the
%   remapped light field R ((rows*C) x (cols*C) x 3, intensities in 0..255,
%   C odd) at every shift factor in SHIFTS with olmarin, measures the angular
%   entropy of every pixel of each refocused light field with varnel, and
%   returns
%     DISPARITY  rows x cols, for each pixel the shift of least entropy
%                (the first such shift in SHIFTS where several tie);
%     ENTROPY    rows x cols x numel(SHIFTS), the entropy maps in nats.
%
%   Sign convention: a scene point at column x and row y of the centre view
%   that appears at column x - d*u in the view u columns to its right, and
%   at row y - d*v in the view v rows below, has disparity d; the shift
%   factor alpha = d lines up all its angular samples, so DISPARITY has the
%   units and the sign of d (pixels per view step). With view columns taken
%   left to right, positive d is in front of the plane of zero disparity.
%
%   [DISPARITY, ENTROPY, IMAGES] also returns the refocused images, rows x
%   cols x 3 x numel(SHIFTS), on the scale of R.
%
%   LF_DISPARITY_SWEEP(..., 'Progress', true) prints one line per shift with
%   the elapsed time.
%
%   A single-plane R is used as grey for all three colour planes. Texture
%   decides the result: where a pixel's samples agree at every shift (a
%   plain region), every shift has zero entropy and the first one is chosen.
%   Within the outermost views' reach of the border (about (C-1)/2 times the
%   largest |shift| pixels) the shifted samples are clamped to the edge and
%   the estimate is less reliable.
%
%   Example
%     V = lf_read_views('my_views');                  % 9 x 9 x rows x cols x 3
%     R = lf_views_to_remapped(V);
%     [d, E] = lf_disparity_sweep(R, 9, linspace(-2, 2, 41), 'Progress', true);
%
%   See also LF_VIEWS_TO_REMAPPED, OLMARIN, VARNEL.

  progress = false;
  for i = 1:2:numel(varargin)
    if i + 1 > numel(varargin) || ~ischar(varargin{i})
      error('lf_disparity_sweep:badOption', 'lf_disparity_sweep: options come as name, value pairs.');
    end
    switch lower(varargin{i})
      case 'progress'
        progress = logical(varargin{i + 1});
      otherwise
        error('lf_disparity_sweep:badOption', 'lf_disparity_sweep: unknown option ''%s''.', varargin{i});
    end
  end
  if ~(isnumeric(C) && isscalar(C) && C >= 1 && C == fix(C) && mod(C, 2) == 1)
    error('lf_disparity_sweep:badSize', ...
          ['lf_disparity_sweep: C must be an odd whole number (the refocusing visits offsets ' ...
           '-(C-1)/2 .. (C-1)/2 around the centre view); for an even grid drop one row and ' ...
           'one column of views.']);
  end
  C = double(C);
  if ~(isnumeric(remapped) && isreal(remapped)) || ndims(remapped) > 3 ...
      || ~any(size(remapped, 3) == [1 3]) || mod(size(remapped, 1), C) ~= 0 ...
      || mod(size(remapped, 2), C) ~= 0
    error('lf_disparity_sweep:badRemapped', ...
          ['lf_disparity_sweep: R must be a real (rows*C) x (cols*C) x 3 (or x 1) array ' ...
           'with C = %d, got a %s array of size %s.'], C, class(remapped), mat2str(size(remapped)));
  end
  if ~(isnumeric(shifts) && isreal(shifts) && isvector(shifts) && all(isfinite(shifts)))
    error('lf_disparity_sweep:badShifts', 'lf_disparity_sweep: SHIFTS must be a vector of finite numbers.');
  end
  rows = size(remapped, 1) / C;
  cols = size(remapped, 2) / C;
  if size(remapped, 3) == 1
    remapped = repmat(remapped, [1 1 3]);
  end
  source = double(remapped);
  if max(source(:)) <= 1 && any(source(:) > 0)
    warning('lf_disparity_sweep:unitRange', ...
            ['lf_disparity_sweep: every sample is at most 1; the entropy bins whole ' ...
             'intensities 0..255, so scale the samples by 255 first.']);
  end

  n = numel(shifts);
  % The modules write in place into these, so each is created here and never
  % copied: a copy would share its data and change with it.
  refocused = zeros(size(source));
  picture = zeros(rows, cols, 3);
  entropy_map = zeros(rows, cols);
  entropy = zeros(rows, cols, n);
  if nargout > 2
    images = zeros(rows, cols, 3, n);
  end
  started = tic;
  for s = 1:n
    olmarin(cols, rows, C, (C - 1) / 2, source, refocused, picture, shifts(s));
    varnel(cols, rows, C, 0, 0, refocused, entropy_map);
    entropy(:, :, s) = entropy_map;
    if nargout > 2
      images(:, :, :, s) = picture;
    end
    if progress
      fprintf('  shift %2d/%d  alpha = %+6.3f  mean entropy %.3f nats  (%5.1f s)\n', ...
              s, n, shifts(s), mean(entropy_map(:)), toc(started));
    end
  end
  [~, best] = min(entropy, [], 3);
  disparity = reshape(shifts(best), rows, cols);
end
