function post_install(desc)
  % Octave only: run by pkg install. Each module's help text goes beside the
  % module, where help and test find it (a help file elsewhere on the path
  % would not document the module, and one earlier on it would shadow it).
  arch = fullfile(desc.archprefix, [__octave_config_info__('canonical_host_type') '-' ...
                                    __octave_config_info__('api_version')]);
  for module = dir(fullfile(arch, '*.mex'))'
    help_file = fullfile('src', 'help', [module.name(1:end - 4) '.m']);
    if exist(help_file, 'file')
      copyfile(help_file, arch);
    end
  end
end
