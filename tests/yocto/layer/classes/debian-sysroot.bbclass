# A recipe's sysroot is Debian's for the target, which CMake's toolchain file
# passes to the compiler.
do_prepare_recipe_sysroot[postfuncs] += "debian_sysroot"
python debian_sysroot() {
    sysroot = d.getVar('RECIPE_SYSROOT')
    for path, target in (('usr/include', 'include'), ('usr/lib', 'lib'), ('lib', 'lib')):
        link = os.path.join(sysroot, path)
        bb.utils.remove(link, recurse=True)
        bb.utils.mkdirhier(os.path.dirname(link))
        os.symlink('/usr/aarch64-linux-gnu/' + target, link)
}

# What is assumed provided has no setscene tasks to depend on.
python () {
    provided = d.getVar('ASSUME_PROVIDED').split()
    for task in d.getVar('__BBTASKS', False):
        depends = (d.getVarFlag(task + '_setscene', 'depends') or '').split()
        d.setVarFlag(task + '_setscene', 'depends', ' '.join(x for x in depends if x.split(':')[0] not in provided))
}
