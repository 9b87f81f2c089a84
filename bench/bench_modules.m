function bench_modules (workloads, reps)
  % Times whole module calls, argument checks included, from Octave: the
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
    olmarin (c, r, C, D, source, destination, image, alpha);
    seconds = zeros (reps, 1);
    for k = 1:reps
      t0 = cputime ();
      olmarin (c, r, C, D, source, destination, image, alpha);
      seconds(k) = cputime () - t0;
    endfor
    % The refocused image is the block average of the refocused field.
    blocks = reshape (destination(:, :, 1), C, r, C, c);
    expected = reshape (sum (sum (blocks, 1), 3), r, c) / C^2;
    if (max (abs (expected(:) - reshape (image(:, :, 1), [], 1))) > 1e-9)
      error ("bench_modules: olmarin's image does not average its destination");
    endif
    printf ("%-10s %-16s %12.2f %12.2f\n", "olmarin", sprintf ("%dx%d/C%d/D%d", r, c, C, D),
            median (seconds) * 1e3, median (seconds) / (r * c) * 1e9);
    clear source destination image blocks expected;
  endfor
  printf ("(CPU time, median of %d calls after one warm-up; alpha %g)\n", reps, alpha);
endfunction
