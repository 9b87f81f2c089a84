function bench_modules (workloads, reps)
  % Octave only. Times whole module calls, argument checks included: the
  % median CPU time of several calls after one warm-up call, on random 8-bit
  % light fields. workloads: one row per workload, [rows cols C D].
  if (nargin < 1)
    workloads = [512 512 9 4; 256 256 9 4];
  endif
  if (nargin < 2)
    reps = 7;
  endif
  alpha = 0.37;
  printf ("\n%-10s %-16s %12s %12s\n", "module", "workload", "call ms", "ns/pixel");
  for w = 1:rows (workloads)
    r = workloads(w, 1);
    c = workloads(w, 2);
    C = workloads(w, 3);
    D = workloads(w, 4);
    source = randi ([0 255], r * C, c * C, 3);
    destination = zeros (r * C, c * C, 3);
    image = zeros (r, c, 3);
    olmarin_call = @() olmarin (c, r, C, D, source, destination, image, alpha);
    seconds = median_cpu_time (olmarin_call, reps);
    % The refocused image is the block average of the refocused field.
    blocks = reshape (destination(:, :, 1), C, r, C, c);
    expected = reshape (sum (sum (blocks, 1), 3), r, c) / C^2;
    if (max (abs (expected(:) - reshape (image(:, :, 1), [], 1))) > 1e-9)
      error ("bench_modules: olmarin's image does not average its destination");
    endif
    report ("olmarin", r, c, C, D, seconds);
    % The entropy modules read the refocused field, as a depth sweep does.
    map = zeros (r, c);
    report ("varnel", r, c, C, D, median_cpu_time (@() varnel (c, r, C, 0, 0, destination, map), reps));
    [map0, map1, map2] = deal (zeros (r, c), zeros (r, c), zeros (r, c));
    report ("tressik", r, c, C, D,
            median_cpu_time (@() tressik (c, r, C, 0, destination, 0, map0, map1, map2), reps));
    % Refocused random samples disagree across every block: no zero entropy.
    if (! all ([map(:); map0(:); map1(:); map2(:)] > 0))
      error ("bench_modules: an entropy map was not written");
    endif
    clear source destination image blocks expected map map0 map1 map2;
  endfor
  printf ("(CPU time, median of %d calls after one warm-up; alpha %g)\n", reps, alpha);
endfunction

function seconds = median_cpu_time (call, reps)
  call ();
  t = zeros (reps, 1);
  for k = 1:reps
    t0 = cputime ();
    call ();
    t(k) = cputime () - t0;
  endfor
  seconds = median (t);
endfunction

function report (name, r, c, C, D, seconds)
  printf ("%-10s %-16s %12.2f %12.2f\n", name, sprintf ("%dx%d/C%d/D%d", r, c, C, D),
          seconds * 1e3, seconds / (r * c) * 1e9);
endfunction
