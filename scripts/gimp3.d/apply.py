# Python-Fu, run by GIMP 3's python-fu-eval batch interpreter for scripts/gimp3:
# for every line "NAME PROPERTY=VALUE ..." of /tmp/nimbulo/cases, nimbulo:clouds
# is applied to /tmp/nimbulo/sky.png as a script applies a filter (a drawable
# filter, its config's properties set, merged) and the image exported as
# /tmp/nimbulo/NAME-python.png.
from gi.repository import Gegl, Gimp, Gio, GObject

work = "/tmp/nimbulo/"


def value_for(param, text):
    kind = param.value_type
    if kind == GObject.TYPE_INT:
        return int(text)
    if kind == GObject.TYPE_UINT:
        return int(text)
    if kind == GObject.TYPE_DOUBLE:
        return float(text)
    if kind == GObject.TYPE_BOOLEAN:
        return text == "true"
    if kind == Gegl.Color.__gtype__:
        return Gegl.Color.new(text)
    return text  # a choice (the look, seamless): its nick


for line in open(work + "cases"):
    name, *settings = line.split()
    image = Gimp.file_load(Gimp.RunMode.NONINTERACTIVE, Gio.File.new_for_path(work + "sky.png"))
    layer = image.get_layers()[0]
    applied = Gimp.DrawableFilter.new(layer, "nimbulo:clouds", "Nimbulo")
    config = applied.get_config()
    for setting in settings:
        key, text = setting.split("=", 1)
        config.set_property(key, value_for(config.find_property(key), text))
        if str(config.get_property(key)) != str(value_for(config.find_property(key), text)) and key[-5:] != "color":
            raise SystemExit("%s: %s=%s did not take" % (name, key, text))
    applied.update()
    layer.merge_filter(applied)
    Gimp.file_save(Gimp.RunMode.NONINTERACTIVE, image, Gio.File.new_for_path(work + name + "-python.png"), None)
    image.delete()
