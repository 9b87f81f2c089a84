% `help <module>` finds the help text while the module itself runs, and the
% text covers the arguments, and the in-place results and the shared-copy trap
% (or, for a module that returns its results, its outputs and threads).
function test_lf_help(modules)
  for m = modules
    name = m{1};
    file = which(name);
    assert(~isempty(regexp(file, ['\.' mexext() '$'], 'once')), ...
           '%s resolves to %s, not the module', name, file);
    text = lower(evalc(sprintf('help %s', name)));
    % Every help states the call and its classes; an in-place module also
    % that results go in place and the copy trap, a returning one its outputs.
    wanted = {[name '('], 'example', 'double'};
    if any(strcmp(name, {'lf_entropy_sweep', 'lf_guided_filter', 'lf_cost_minimum', ...
                          'lf_shrunk_entropy_sweep'}))
      wanted = [wanted, {'outputs', 'threads'}];
    else
      wanted = [wanted, {'in place', 'shares'}];
    end
    for w = wanted
      assert(~isempty(strfind(text, w{1})), 'help %s lacks "%s"', name, w{1});
    end
    % The module, not its help file, answers a call.
    try
      feval(name);
    catch err
      assert(~strcmp(err.identifier, [name ':notBuilt']), '%s ran its help file', name);
    end
  end
  for helper = {'lf_views_to_remapped', 'lf_remapped_to_views', 'lf_read_views', 'lf_disparity_sweep', ...
                'lf_disparity_from_entropy', 'lf_disparity_smooth', 'lf_write_pfm', 'lf_read_pfm', 'lf_disparity_preview', ...
                'lf_depth_batch'}
    text = evalc(sprintf('help %s', helper{1}));
    assert(~isempty(strfind(text, upper(helper{1}))), 'help %s is empty', helper{1});
  end
  text = evalc('help lf_disparity_sweep');
  assert(~isempty(strfind(text, 'alpha = d')), 'the sweep''s help does not state the sign convention');
  disp('test_lf_help: all checks passed');
end
