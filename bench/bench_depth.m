## bench_depth (reps), Octave only: the default depth call lf_disparity_sweep (R, 9) on
## the 512 x 512 realistic scene against one 41-shift lf_entropy_sweep over
## the range that call finds, timed in alternation (wall time, medians), and
## their ratio. Run from plain Octave: no GLIBC_TUNABLES, default threads.
function bench_depth (reps)
  if (nargin < 1)
    reps = 5;
  endif
  C = 9;
  R = lf_synthetic_scene (512, 512, C, "realistic", "remapped");
  [~, ~, ~, ~, info] = lf_disparity_sweep (R, C);
  shifts = info.shifts;
  sweep_s = zeros (1, reps);
  depth_s = zeros (1, reps);
  for k = 1:reps
    tic; E = lf_entropy_sweep (R, C, shifts); sweep_s(k) = toc;
    clear E;
    tic; [d, conf] = lf_disparity_sweep (R, C); depth_s(k) = toc;
    clear d conf;
  endfor
  printf ("\n%-34s %10s\n", "512 x 512, C = 9, realistic scene", "median s");
  printf ("%-34s %10.3f\n", sprintf ("lf_entropy_sweep, %d shifts", numel (shifts)), median (sweep_s));
  printf ("%-34s %10.3f\n", "lf_disparity_sweep (R, 9)", median (depth_s));
  printf ("%-34s %10.2f\n", "ratio (target <= 1.5)", median (depth_s) / median (sweep_s));
  printf ("(wall time, median of %d alternated calls after one warm-up; range %+.3f .. %+.3f)\n", ...
          reps, shifts(1), shifts(end));
endfunction
