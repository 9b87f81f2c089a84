function views = lf_remapped_to_views(remapped, C)
%LF_REMAPPED_TO_VIEWS  Remapped light field back to its sub-aperture views.
%   V = LF_REMAPPED_TO_VIEWS(R, C) takes a remapped light field R of size
%   (rows*C) x (cols*C) x planes, as olmarin reads and writes it, and returns
%   the C x C views in one double array indexed V(view row, view column,
%   image row, image column, colour plane), so that
%
%       V(a, b, r, c, k) = R((r-1)*C + a, (c-1)*C + b, k)     (1-based)
%
%   It undoes LF_VIEWS_TO_REMAPPED exactly. Use it to look at one view of a
%   refocused light field, for instance squeeze(V(5, 5, :, :, :)) / 255.
%
%   See also LF_VIEWS_TO_REMAPPED, OLMARIN.

  if ~(isnumeric(remapped) || islogical(remapped)) || ~isreal(remapped) || issparse(remapped)
    error('lf_remapped_to_views:badRemapped', ...
          'lf_remapped_to_views: R must be a real numeric array, got a %s array.', class(remapped));
  end
  if ~(isnumeric(C) && isscalar(C) && C >= 1 && C == fix(C))
    error('lf_remapped_to_views:badSize', ...
          'lf_remapped_to_views: C must be a positive whole number.');
  end
  C = double(C);
  if ndims(remapped) > 3 || mod(size(remapped, 1), C) ~= 0 || mod(size(remapped, 2), C) ~= 0
    error('lf_remapped_to_views:badRemapped', ...
          ['lf_remapped_to_views: R must be (rows*C) x (cols*C) x planes with C = %d, ' ...
           'got size %s.'], C, mat2str(size(remapped)));
  end
  rows = size(remapped, 1) / C;
  cols = size(remapped, 2) / C;
  views = permute(reshape(double(remapped), [C, rows, C, cols, size(remapped, 3)]), [1 3 2 4 5]);
end
